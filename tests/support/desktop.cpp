#include "desktop.h"

#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <csignal>
#include <unistd.h>

QPoint centre(int left, int top, int width, int height) {
    return {(left + width / 2) / 15, (top + height / 2) / 15};
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

DesktopPanel::DesktopPanel(int pty_port) {
    QFile::copy(QStringLiteral(LUMIVANE_EXE), path("lumivane"));
    if (pty_port > 0) pty.link_as_port(dir.path(), pty_port);
}

DesktopPanel::~DesktopPanel() {
    // The whole group, a launcher with it; ended as a logout ends it, so that
    // the port's lock goes with it, and killed only if that does not help.
    if (process.state() == QProcess::NotRunning) return;
    ::kill(-pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(5000)) ::kill(-pid_t(process.processId()), SIGKILL);
    process.waitForFinished();
}

bool DesktopPanel::start(const QStringList& args) {
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(path("lumivane"), args);
    // Input before the window manager has framed the window can be lost.
    const auto framed = [this] {
        window = find(QStringLiteral("Lumivane ver1.54"));
        return !window.isEmpty() &&
               run("xprop", {"-id", window, "_NET_FRAME_EXTENTS"}).contains('=');
    };
    if (!QTest::qWaitFor(framed, 20000)) return false;
    run("xdotool", {"windowactivate", "--sync", window});
    return true;
}

void DesktopPanel::pointer(QPoint at, const QStringList& actions) {
    // X requests are handled in order, so the move takes effect before the
    // button events that follow it.
    run("xdotool", QStringList{"mousemove", "--window", window, QString::number(at.x()),
                               QString::number(at.y())} +
                       actions);
}

bool DesktopPanel::key(const QString& keys, const QString& to) {
    QProcess xdotool;
    xdotool.start("xdotool",
                  QStringList{"windowactivate", "--sync", to.isEmpty() ? window : to, "key"} +
                      keys.split(' ', Qt::SkipEmptyParts));
    return xdotool.waitForFinished(10000) && xdotool.exitCode() == 0;
}

QImage DesktopPanel::grab(const QRect& area) const {
    return QGuiApplication::primaryScreen()
        ->grabWindow(window.toUInt(), // an X window's id has 32 bits
                     area.x(), area.y(), area.width(), area.height())
        .toImage();
}

QString DesktopPanel::find(const QString& title) const {
    return run("xdotool", {"search", "--onlyvisible", "--name", '^' + title + '$'})
        .section('\n', 0, 0);
}
