// lumivaned's control page in the real browser (headless chromium through
// chromedriver's WebDriver API) on a phone-sized touch screen, with a
// pseudo-terminal as the inverter: it connects, moves the duty by keyboard,
// shows a knob report, and keeps showing a running exposure after a reload.
#include "support/free_port.h"
#include "support/http_client.h"
#include "support/lumivaned.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
        const QJsonObject phone{
            {"width", 360}, {"height", 640}, {"pixelRatio", 3}, {"touch", true}};
        const QJsonObject options{
            {"binary", "/usr/bin/chromium"},
            {"mobileEmulation", QJsonObject{{"deviceMetrics", phone}}},
            {"args", QJsonArray{"--headless=new", "--no-sandbox", "--disable-gpu",
                                "--user-data-dir=" + profile.path()}}};
        const QJsonValue created =
            call("POST", "",
                 QJsonObject{
                     {"capabilities",
                      QJsonObject{{"alwaysMatch", QJsonObject{{"goog:chromeOptions", options}}}}}});
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

        // Under front-panel control the knob's reports show.
        click("#front");
        QCOMPARE(server.inverter.read(3), QByteArray(":F#"));
        server.inverter.write(":ELC0#:EDU30#");
        QVERIFY(shows("#duty", "60 %"));
    }

    void an_exposure_shows_through_a_reload() {
        click("#expose"); // the default 1 s
        QCOMPARE(server.inverter.read(4), QByteArray(":C1#"));
        server.inverter.write(":CAS1#");
        open_page();
        QVERIFY(shows("#lamp", "lamp lit", "className"));
        QCOMPARE(server.inverter.read(4), QByteArray(":C0#"));
        server.inverter.write(":CAS0#");
        QVERIFY(shows("#lamp", "lamp", "className"));
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

    // The path of the element that `css` selects.
    QString element(const char* css) {
        const QJsonValue found =
            call("POST", "/element", {{"using", "css selector"}, {"value", css}});
        return "/element/" + found.toObject().begin()->toString();
    }

    void click(const char* css) { call("POST", element(css) + "/click"); }

    // Whether the element's text (or property) reads `text` within 3 s.
    bool shows(const char* css, const QString& text, const QString& property = {}) {
        for (const QDeadlineTimer deadline(3000); !deadline.hasExpired();) {
            const QString path =
                element(css) + (property.isEmpty() ? "/text" : "/property/" + property);
            if (call("GET", path).toString() == text) return true;
        }
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
