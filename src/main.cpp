#include "panel/form1.h"
#include "panel/qt_toolkit.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // The GStreamer media backend works without a sound card; keep it unless
    // the operator chose another.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    QtToolkit toolkit;
    Form1 form(toolkit, QCoreApplication::applicationDirPath());
    form.Form_Load();
    form.show();
    return app.exec();
}
