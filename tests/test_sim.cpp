// The inverter simulator: its command parser and inverter state, and the real
// lumivane-sim program on a pseudo-terminal with the test playing the panel.
#include "command_parser.h"
#include "inverter.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Bytes = QList<QByteArray>;

// The panel's end of the line: the linked device, opened as the panel opens it.
class PanelPort {
public:
    explicit PanelPort(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios t{};
        if (fd < 0 || ::tcgetattr(fd, &t) != 0) return;
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B9600);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    ~PanelPort() {
        if (fd >= 0) ::close(fd);
    }
    bool is_open() const { return fd >= 0; }
    bool write(QByteArrayView bytes) {
        return ::write(fd, bytes.data(), size_t(bytes.size())) == bytes.size();
    }
    // What arrives until `expected` bytes are there or the time is up.
    QByteArray read(qsizetype expected, int timeout_ms = 5000) {
        QByteArray got;
        const QDeadlineTimer deadline(timeout_ms);
        while (got.size() < expected) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, int(deadline.remainingTime())) <= 0) break;
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) got.append(buf, n);
        }
        return got;
    }

private:
    int fd;
};

// A stdout line of the simulator containing `text`, or an empty string.
QString wait_line(QProcess& sim, const QString& text, int timeout_ms = 5000) {
    const QDeadlineTimer deadline(timeout_ms);
    for (;;) {
        while (sim.canReadLine()) {
            const QString line = QString::fromUtf8(sim.readLine()).trimmed();
            if (line.contains(text)) return line;
        }
        if (deadline.hasExpired() || !sim.waitForReadyRead(int(deadline.remainingTime())))
            return {};
    }
}

// The simulator process; stopped at the end of a test.
class Sim : public QProcess {
public:
    ~Sim() override {
        if (state() == NotRunning) return;
        terminate();
        waitForFinished(5000);
    }
    // Types a line on the simulator's standard input.
    bool type(const QByteArray& line) {
        return write(line + '\n') > 0 && waitForBytesWritten(5000);
    }
};

// Starts the simulator on port 1 in dir and returns the link it made.
QString start_sim(Sim& sim, const QTemporaryDir& dir, const QStringList& extra = {}) {
    sim.start(QStringLiteral(LUMIVANE_SIM),
              QStringList{"--dir", dir.path(), "--log", dir.filePath("sim.log")} + extra);
    const QString line = wait_line(sim, "linked ");
    return line.section(' ', 1, 1);
}

bool path_taken(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

const QByteArray all_commands = ":O#:F#:M0#:M1#:C1#:C0#:S#:D07:E45:D-1";
const QByteArray all_replies = ":ELC1#:ELC0#:ELM0#:ELM1#:CAS1#:CAS0#:EDU07#:EFQ45#:EDU-1#";

} // namespace

class SimTest : public QObject {
    Q_OBJECT
private slots:
    void parser_data();
    void parser();
    void knob_follows_mode_and_control();
    void serves_every_command_data();
    void serves_every_command();
    void knob_typed_on_stdin();
    void delay_and_reopened_port();
    void stops_and_removes_link_data();
    void stops_and_removes_link();
    void existing_path_data();
    void existing_path();
};

void SimTest::parser_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Bytes>("commands");
    QTest::addColumn<QByteArray>("skipped");
    QTest::newRow("values take two characters")
        << QByteArray(":D07:E45:D-1:E#x") << Bytes{":D07", ":E45", ":D-1", ":E#x"} << QByteArray();
    QTest::newRow("garbage around")
        << QByteArray("ab:O#\r\ncd") << Bytes{":O#"} << QByteArray("ab\r\ncd");
    QTest::newRow("colon starts over")
        << QByteArray(":M:D1:F#") << Bytes{":F#"} << QByteArray(":M:D1");
    QTest::newRow("unknown") << QByteArray(":Q#:M2#:O:S#") << Bytes{":S#"}
                             << QByteArray(":Q#:M2#:O");
    QTest::newRow("incomplete waits") << QByteArray(":D0") << Bytes{} << QByteArray();
}

void SimTest::parser() {
    QFETCH(QByteArray, input);
    QFETCH(Bytes, commands);
    QFETCH(QByteArray, skipped);
    // Whole, and byte by byte: the result must not depend on how bytes arrive.
    for (const qsizetype step : {input.size(), qsizetype(1)}) {
        sim::CommandParser parser;
        Bytes got;
        QByteArray got_skipped;
        for (qsizetype at = 0; at < input.size(); at += step)
            for (const auto& token : parser.feed(input.mid(at, step).toStdString()))
                (token.command ? got.emplace_back() : got_skipped) +=
                    QByteArray::fromStdString(token.text);
        QCOMPARE(got, commands);
        QCOMPARE(got_skipped, skipped);
    }
}

void SimTest::knob_follows_mode_and_control() {
    sim::Inverter inverter;
    QCOMPARE(inverter.turn_knob(-1), std::optional<std::string>(":EDU00#")); // clamped at 0
    QCOMPARE(inverter.turn_knob(1), std::optional<std::string>(":EDU01#"));
    inverter.handle(":D50");
    QCOMPARE(inverter.turn_knob(1), std::optional<std::string>(":EDU50#"));
    QCOMPARE(inverter.toggle_mode(), std::string(":ELM1#"));
    QCOMPARE(inverter.turn_knob(1), std::optional<std::string>(":EFQ46#"));
    inverter.handle(":E10");
    QCOMPARE(inverter.turn_knob(-1), std::optional<std::string>(":EFQ10#"));
    inverter.handle(":E70");
    QCOMPARE(inverter.turn_knob(1), std::optional<std::string>(":EFQ70#"));
    inverter.handle(":O#");
    QCOMPARE(inverter.turn_knob(-1), std::nullopt);
    QCOMPARE(inverter.state().frequency, 70);
}

void SimTest::serves_every_command_data() {
    QTest::addColumn<QStringList>("options");
    QTest::newRow("plain") << QStringList{};
    QTest::newRow("split") << QStringList{"--split", "--seed", "7"};
    QTest::newRow("merge") << QStringList{"--merge"};
    QTest::newRow("all") << QStringList{"--split", "--merge", "--delay", "20", "--seed", "3"};
}

void SimTest::serves_every_command() {
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    Sim sim;
    const QString link = start_sim(sim, dir, options);
    QCOMPARE(link, dir.filePath("com1"));
    QVERIFY(QFileInfo(link).symLinkTarget().startsWith("/dev/pts/"));
    PanelPort port(link);
    QVERIFY(port.is_open());

    QVERIFY(port.write("xx" + all_commands + "zz:Q#:M"));
    QCOMPARE(port.read(all_replies.size()), all_replies);
    // The cut-off ":M" is dropped once the next ':' comes.
    QVERIFY(port.write(":F#"));
    QCOMPARE(port.read(6), QByteArray(":ELC0#"));

    QFile log(dir.filePath("sim.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    const QRegularExpression stamp(R"(^\d\d:\d\d:\d\d\.\d\d\d )");
    QVERIFY(text.contains(
        QRegularExpression(stamp.pattern() + R"(<- :D07$)", QRegularExpression::MultilineOption)));
    QVERIFY(text.contains(QRegularExpression(stamp.pattern() + R"(-> :EDU07#$)",
                                             QRegularExpression::MultilineOption)));
    // However the bytes were read, all that was skipped is in the log.
    QString skipped;
    for (const auto& m :
         QRegularExpression(R"re(<- skipped "(.*)"$)re", QRegularExpression::MultilineOption)
             .globalMatch(text))
        skipped += m.captured(1);
    QCOMPARE(skipped, QString("xxzz:Q#:M"));
}

void SimTest::knob_typed_on_stdin() {
    QTemporaryDir dir;
    Sim sim;
    PanelPort port(start_sim(sim, dir));
    QVERIFY(port.is_open());

    QVERIFY(sim.type("u"));
    QCOMPARE(port.read(7), QByteArray(":EDU01#"));
    QVERIFY(sim.type("m\nup\nb"));
    QCOMPARE(port.read(17), QByteArray(":ELM1#:EFQ46#:fqs#"));

    QVERIFY(port.write(":O#"));
    QCOMPARE(port.read(6), QByteArray(":ELC1#"));
    QVERIFY(sim.type("d"));
    QVERIFY(!wait_line(sim, "knob ignored").isEmpty());
    // A knob report would have been written before the note; the next reply
    // must be the first thing to arrive.
    QVERIFY(port.write(":M0#"));
    QCOMPARE(port.read(6), QByteArray(":ELM0#"));

    // Without standard input it goes on serving.
    sim.closeWriteChannel();
    QVERIFY(!wait_line(sim, "standard input closed").isEmpty());
    QVERIFY(port.write(":C1#"));
    QCOMPARE(port.read(6), QByteArray(":CAS1#"));
    QCOMPARE(sim.state(), QProcess::Running);
}

void SimTest::delay_and_reopened_port() {
    QTemporaryDir dir;
    Sim sim;
    const QString link = start_sim(sim, dir, {"--port", "7", "--delay", "150"});
    QCOMPARE(link, dir.filePath("com7"));
    for (const QByteArray& command : {QByteArray(":E12"), QByteArray(":E13")}) {
        PanelPort port(link); // closed and opened again on the second round
        QVERIFY(port.is_open());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(port.write(command));
        QCOMPARE(port.read(7), ":EFQ" + command.mid(2) + '#');
        QVERIFY(clock.elapsed() >= 150);
    }
}

void SimTest::stops_and_removes_link_data() {
    QTest::addColumn<int>("signal"); // 0: q typed on stdin
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("q") << 0;
}

void SimTest::stops_and_removes_link() {
    QFETCH(int, signal);
    QTemporaryDir dir;
    Sim sim;
    const QString link = start_sim(sim, dir);
    QVERIFY(path_taken(link));
    if (signal)
        QCOMPARE(::kill(pid_t(sim.processId()), signal), 0);
    else
        QVERIFY(sim.type("q"));
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!path_taken(link));
}

void SimTest::existing_path_data() {
    QTest::addColumn<QString>("existing"); // a link target, or "file" or "directory"
    QTest::addColumn<bool>("replaced");
    QTest::newRow("file") << "file" << false;
    QTest::newRow("directory") << "directory" << false;
    QTest::newRow("link to a device") << "/dev/null" << false;
    QTest::newRow("dangling link") << "gone" << true;
    QTest::newRow("link to an old pty") << "/dev/pts/999999" << true;
}

void SimTest::existing_path() {
    QFETCH(QString, existing);
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    const QString path = dir.filePath("com1");
    QFile file(path);
    if (existing == "file")
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("mine") == 4 && file.flush());
    else if (existing == "directory")
        QVERIFY(QDir(dir.path()).mkdir("com1"));
    else
        QVERIFY(QFile::link(existing, path));
    Sim sim;
    const QString link = start_sim(sim, dir);
    if (replaced) {
        QCOMPARE(link, path);
        PanelPort port(link);
        QVERIFY(port.is_open());
        QVERIFY(port.write(":M1#"));
        QCOMPARE(port.read(6), QByteArray(":ELM1#"));
        return;
    }
    QVERIFY(link.isEmpty());
    QVERIFY(sim.state() == QProcess::NotRunning || sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QVERIFY(sim.exitCode() != 0);
    QVERIFY(sim.readAllStandardError().contains("refusing to replace " + QFile::encodeName(path)));
    const QFileInfo left(path);
    if (existing == "file")
        QVERIFY(left.isFile() && left.size() == 4);
    else if (existing == "directory")
        QVERIFY(left.isDir());
    else
        QCOMPARE(left.symLinkTarget(), existing);
}

QTEST_GUILESS_MAIN(SimTest)
#include "test_sim.moc"
