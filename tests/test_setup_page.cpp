// lumivaned's control page in the real browser (headless chromium through
// chromedriver's WebDriver API) on a phone-sized touch screen, with a
// pseudo-terminal as the inverter: it connects, moves the duty by keyboard,
// turns the light off and on, shows the knob, keeps showing a running exposure
// after a reload, keeps a device picked through its refreshes, fits a long
// device name, and greys its controls while the server does not answer.
#include "support/free_port.h"
#include "support/http_client.h"
#include "support/lumivaned.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>
#include <sys/socket.h>

class SetupPageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        const quint16 port = free_port(SOCK_STREAM);
        driver.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        driver.start(QStringLiteral("chromedriver"), {QStringLiteral("--port=%1").arg(port)});
        QVERIFY(driver.waitForStarted());
        for (const QDeadlineTimer deadline(10000); !deadline.hasExpired() && !session.isOpen();) {
            session.connectToHost(QStringLiteral("127.0.0.1"), port);
            if (!session.waitForConnected(1000)) session.abort();
        }
        // A phone's screen and touch, as the page is used at the telescope.
        const QJsonValue created =
            call("POST", "",
                 QJsonDocument::fromJson(
                     QStringLiteral(R"({"capabilities": {"alwaysMatch": {"goog:chromeOptions": {
                    "binary": "/usr/bin/chromium", "args": ["--headless=new", "--no-sandbox",
                        "--disable-gpu", "--user-data-dir=%1"], "mobileEmulation": {"deviceMetrics":
                        {"width": 360, "height": 640, "pixelRatio": 3, "touch": true}}}}}})")
                         .arg(profile.path())
                         .toUtf8())
                     .object());
        id = created["sessionId"].toString();
        QVERIFY2(!id.isEmpty(), qPrintable(QJsonDocument(created.toObject()).toJson()));
        open_page();
    }

    void cleanupTestCase() {
        call("DELETE", "");
        driver.terminate();
        driver.waitForFinished();
    }

    void operator_drives_the_inverter() {
        click("#connect");
        QCOMPARE(server.inverter.read(3), QByteArray(":O#"));
        server.inverter.write(":ELC1#");
        QVERIFY(shows("#link", "Connected"));
        QCOMPARE(server.inverter.read(4), QByteArray(":D00")); // the light made known
        server.inverter.write(":EDU00#");

        // The arrow key moves the duty one step, 2 %: duty code 1.
        call("POST", element("#dutyrange") + "/value", QJsonObject{{"text", "\uE014"}});
        QCOMPARE(server.inverter.read(4), QByteArray(":D01"));
        server.inverter.write(":EDU01#");
        QVERIFY(shows("#duty", "2 %"));
        QVERIFY(shows("#calibrator", "Ready, brightness 1 of 50"));
        // Off, and On again at the level last set.
        click("#off");
        QCOMPARE(server.inverter.read(4), QByteArray(":D00"));
        server.inverter.write(":EDU00#");
        QVERIFY(shows("#calibrator", "Off, brightness 0 of 50"));
        click("#on");
        QCOMPARE(server.inverter.read(4), QByteArray(":D01"));
        // A report later than 1 s is warned of until it comes.
        QVERIFY(shows("#warning", "The inverter did not confirm the duty within 1 s."));
        server.inverter.write(":EDU01#");
        QVERIFY(shows("#warning", ""));

        // Under front-panel control the knob's reports show, and its mode is chosen.
        click("#front");
        QCOMPARE(server.inverter.read(3), QByteArray(":F#"));
        server.inverter.write(":ELC0#:EDU30#");
        QVERIFY(shows("#duty", "60 %"));
        click("#frequencymode");
        QCOMPARE(server.inverter.read(4), QByteArray(":M1#"));
    }

    // A running exposure shows its time left, also after a reload, until Stop;
    // after a disconnect nothing of the inverter shows.
    void an_exposure_shows_through_a_reload() {
        type("#seconds", "60");
        click("#expose");
        QCOMPARE(server.inverter.read(4), QByteArray(":C1#"));
        server.inverter.write(":CAS1#");
        open_page();
        QVERIFY(shows("#lamp", "lamp lit", "property/className"));
        QVERIFY(call("GET", element("#left") + "/text").toString().endsWith(" s left"));
        click("#stop");
        QCOMPARE(server.inverter.read(4), QByteArray(":C0#"));
        server.inverter.write(":CAS0#");
        QVERIFY(shows("#lamp", "lamp", "property/className"));
        click("#disconnect");
        QCOMPARE(server.inverter.read(3), QByteArray(":F#"));
        QVERIFY(shows("#duty", "–"));
    }

    // A long name typed and saved is cut in the middle in the list, whole in its
    // tooltip, and nothing is wider than the phone's screen. A device picked in
    // the list stays picked through a second of refreshes, and Save stores it.
    void a_pick_survives_the_refreshes() {
        const QString long_name =
            "/dev/serial/by-id/usb-Example_Serial_Adapters_Ltd._USB-Serial_Controller_D-if00-port0";
        type("#path", long_name);
        save_and_reload();
        QVERIFY(shows("#serial", long_name, "property/value"));
        const QJsonValue page = call(
            "POST", "/execute/sync",
            {{"args", QJsonArray()},
             {"script", "const o = document.querySelector('#serial option'); return {text: o.text, "
                        "title: o.title, widest: Math.max(...[...document.querySelectorAll('*')]"
                        ".map(e => e.getBoundingClientRect().right))};"}});
        QCOMPARE_LE(page["widest"].toDouble(), 360);
        QCOMPARE(page["title"].toString(), long_name);
        const QStringList cut = page["text"].toString().split(u'…');
        QVERIFY(cut.size() == 2 && long_name.startsWith(cut[0]) && long_name.endsWith(cut[1]));

        server.inverter.link_as_port(server.config_path(), 1);
        const QString com1 = server.config_path() + "/com1";
        const QByteArray option = "#serial option[value='" + com1.toUtf8() + "']";
        QVERIFY(shows(option, com1, "property/value"));
        click(option);
        click("h1"); // the list loses the focus
        for (const QDeadlineTimer second(1000); !second.hasExpired();)
            QCOMPARE(call("GET", element("#serial") + "/property/value").toString(), com1);
        save_and_reload();
        QVERIFY(shows("#serial", com1, "property/value"));
    }

    // A server that does not answer greys the controls and says so, until it
    // answers again.
    void a_silent_server_greys_the_controls() {
        const auto pid = pid_t(server.process.processId());
        ::kill(pid, SIGSTOP);
        const auto resume = qScopeGuard([pid] { ::kill(pid, SIGCONT); });
        QVERIFY(shows("#server", "The server does not answer; the controls wait for it."));
        QCOMPARE(call("GET", element("#save") + "/enabled"), false);
        ::kill(pid, SIGCONT);
        QVERIFY(shows("#save", true, "enabled"));
    }

private:
    // One WebDriver command of this session; its "value".
    QJsonValue call(const char* method, const QString& path, const QJsonObject& body = {}) {
        const QByteArray target =
            "/session" + (id.isEmpty() ? QByteArray() : '/' + id.toLatin1()) + path.toLatin1();
        const QByteArray json = qstrcmp(method, "POST") == 0
                                    ? QJsonDocument(body).toJson(QJsonDocument::Compact)
                                    : QByteArray();
        const HttpReply reply =
            exchange(session, http_request(method, target, json, "application/json"), 30000);
        return QJsonDocument::fromJson(reply.body)["value"];
    }

    void open_page() {
        call("POST", "/url",
             {{"url", QStringLiteral("http://127.0.0.1:%1/setup").arg(server.http_port())}});
    }

    // The path of the element that `css` selects (under WebDriver's key for
    // an element), of none when there is no such element.
    QString element(const QByteArray& css) {
        const QJsonValue found = call(
            "POST", "/element", {{"using", "css selector"}, {"value", QString::fromUtf8(css)}});
        return "/element/" + found["element-6066-11e4-a52e-4f735466cecf"].toString();
    }

    void click(const QByteArray& css) { call("POST", element(css) + "/click"); }

    // Replaces what the field holds with `text`, typed after Ctrl+A.
    void type(const QByteArray& css, const QString& text) {
        call("POST", element(css) + "/value", {{"text", "\uE009a\uE000" + text}});
    }

    // Saves the device shown, once the page says it is not saved, and shows
    // afresh what the server saved.
    void save_and_reload() {
        QVERIFY(shows("#unsaved", "Not saved"));
        click("#save");
        QVERIFY(shows("#unsaved", ""));
        open_page();
    }

    // Whether the element's text (or what `of` names) is `value` within 5 s.
    bool shows(const QByteArray& css, const QJsonValue& value, const QString& of = "text") {
        for (const QDeadlineTimer deadline(5000); !deadline.hasExpired();)
            if (call("GET", element(css) + '/' + of) == value) return true;
        return false;
    }

    Lumivaned server{QStringLiteral(LUMIVANED)};
    QProcess driver;
    QTcpSocket session;
    QTemporaryDir profile;
    QString id;
};

QTEST_GUILESS_MAIN(SetupPageTest)
#include "test_setup_page.moc"
