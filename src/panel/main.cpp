#include "device/line_log.h"
#include "panel/form1.h"
#include "panel/qt_toolkit.h"
#include "panel/toolkit_end.h"
#include "shared/ending_signals.h"
#include "store/settings_folder.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    const sigset_t ending = EndingSignals::block();
    use_line_log_pattern();
    // The GStreamer media backend works without a sound card; keep it unless
    // the operator chose another.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
    // The read-outs are redrawn up to once a frame. Through shared memory each
    // redraw of a place drawn before waits for a round trip to the X server;
    // the window is small, and sending its changed pixels costs less.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    // The read-outs have X windows of their own; the other controls keep
    // being drawn through the panel's window.
    QApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    ToolkitEnd toolkit_end;
    QApplication app(argc, argv);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/lumivane-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/lumivane-32.png"), QSize(32, 32));
    app.setWindowIcon(icon);
    QtToolkit toolkit;
    const ProgramFolders folders =
        program_folders(QCoreApplication::applicationDirPath().toStdString());
    Form1 form(toolkit, QString::fromStdString(folders.data),
               QString::fromStdString(folders.settings));
    // Logout, shutdown or Ctrl-C end the program as closing the window does:
    // control goes back to the front panel before the port closes.
    const EndingSignals on_end(ending, [&form] { form.Form_Unload(); });
    // So does a display that goes away: a logout, a killed X server.
    toolkit_end.started([&form] { form.hand_back_control(); });
    form.Form_Load();
    form.show();
    return app.exec();
}
