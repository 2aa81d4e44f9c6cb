#include "panel/form1.h"
#include "panel/qt_toolkit.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    // The GStreamer media backend works without a sound card; keep it unless
    // the operator chose another.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/lumivane-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/lumivane-32.png"), QSize(32, 32));
    app.setWindowIcon(icon);
    QtToolkit toolkit;
    Form1 form(toolkit, QCoreApplication::applicationDirPath());
    form.Form_Load();
    form.show();
    return app.exec();
}
