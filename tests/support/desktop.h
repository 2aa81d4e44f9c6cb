#pragma once

#include "support/pty.h"

#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QTemporaryDir>

// A control's centre in window pixels, from its place in twips (15 to the pixel).
QPoint centre(int left, int top, int width, int height);
// Runs a program to its end and returns its standard output, trimmed.
QString run(const QString& program, const QStringList& args);

// The real program in a folder of its own, as installed, on the X server of
// the test, driven by X input at places in window pixels. A pseudo-terminal is
// linked as port pty_port (0: none) before the program starts.
class DesktopPanel {
public:
    explicit DesktopPanel(int pty_port = 1);
    ~DesktopPanel();

    QString path(const QString& name) const { return dir.filePath(name); }
    // Starts the program and waits until its window is managed and active.
    bool start(const QStringList& args = {});

    void click(QPoint at, int button = 1) { pointer(at, {"click", QString::number(button)}); }
    void press(QPoint at, int button = 1) { pointer(at, {"mousedown", QString::number(button)}); }
    void release(QPoint at, int button = 1) { pointer(at, {"mouseup", QString::number(button)}); }
    // Keys by their X names, separated by spaces ("ctrl+a Return"), sent to the
    // window `to` (by default the panel's) after activating it; false if the
    // window could not be activated or the keys not sent.
    bool key(const QString& keys, const QString& to = {});
    // Closes the window as the operator does, with Alt+F4 through the window
    // manager, and waits for the program to end.
    bool close() { return key(QStringLiteral("alt+F4")) && process.waitForFinished(10000); }
    QColor pixel(QPoint at) const { return grab({at, QSize(1, 1)}).pixelColor(0, 0); }
    QImage grab(const QRect& area) const;
    // The visible window with this title, or an empty string.
    QString find(const QString& title) const;

    QTemporaryDir dir;
    Pty pty;
    QProcess process;
    // The program's environment, the test's own until changed; start() applies it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString window;

private:
    void pointer(QPoint at, const QStringList& actions);
};
