// The shutter sound on the real media stack: playing never holds up the window.
#include "panel/qt_toolkit.h"
#include "support/read_only_guard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>
#include <sys/inotify.h>
#include <unistd.h>

class SoundTest : public QObject {
    Q_OBJECT
private slots:
    void playing_never_stalls_the_window_data();
    void playing_never_stalls_the_window();
};

void SoundTest::playing_never_stalls_the_window_data() {
    QFile real(QStringLiteral(LUMIVANE_ASSETS "/se-033.mp3"));
    QVERIFY(real.open(QIODevice::ReadOnly));
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::addColumn<bool>("readable");
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("unreadable") << real.readAll() << false;
    QTest::newRow("garbage") << QByteArray(64 * 1024, '\xa5') << true;
    real.seek(0);
    QTest::newRow("the shipped sound") << real.readAll() << true;
}

void SoundTest::playing_never_stalls_the_window() {
    QFETCH(QByteArray, content);
    QFETCH(bool, readable);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("se-033.mp3"));
    const int opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
        QVERIFY(file.setPermissions(readable ? QFile::ReadOwner : QFile::Permissions()));
        QVERIFY(inotify_add_watch(opens, path.toLocal8Bit().constData(), IN_OPEN) >= 0);
    }
    // The worker threads inherit the dropped capabilities, so root cannot read it either.
    std::optional<ReadOnlyFolder> no_override;
    if (!content.isEmpty() && !readable) no_override.emplace(dir.path());
    auto toolkit = std::make_unique<QtToolkit>();

    QElapsedTimer since_tick;
    qint64 longest_gap = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this,
            [&] { longest_gap = std::max(longest_gap, since_tick.restart()); });
    int calls = 0;
    QTimer shutter;
    connect(&shutter, &QTimer::timeout, this, [&] {
        toolkit->PlaySound(path);
        if (++calls == 50) shutter.stop();
    });
    since_tick.start();
    ticker.start(5);
    shutter.start(20);
    QTRY_COMPARE_WITH_TIMEOUT(calls, 50, 10000);
    // The player opens the file it is asked for.
    char event[4096];
    bool opened = false;
    auto seen_open = [&] { return opened = opened || read(opens, event, sizeof event) > 0; };
    if (readable) QTRY_VERIFY_WITH_TIMEOUT(seen_open(), 10000);
    close(opens);
    // The window stalled by a call or by the sound thread shows as a late tick.
    QVERIFY2(longest_gap < 250, qPrintable(QString::number(longest_gap)));

    QElapsedTimer teardown;
    teardown.start();
    toolkit.reset();
    QVERIFY2(teardown.elapsed() < 2000, qPrintable(QString::number(teardown.elapsed())));
}

int main(int argc, char* argv[]) {
    // A media registry of its own: the first sound also meets the registry
    // scan of a machine that never used the media stack.
    QTemporaryDir registry;
    qputenv("GST_REGISTRY", registry.filePath(QStringLiteral("registry.bin")).toLocal8Bit());
    QApplication app(argc, argv);
    SoundTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_sound.moc"
