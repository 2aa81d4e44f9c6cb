// The light-box driver under a real indiserver, set with indi_setprop and read
// with indi_getprop, with a pseudo-terminal as the inverter: the exact bytes of
// each property change, reports shown in the properties, and an unplugged line.
#include "support/indi_server.h"
#include "support/pty.h"

#include <QElapsedTimer>
#include <QTest>

class IndiTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QTRY_COMPARE_WITH_TIMEOUT(server.get("CONNECTION.CONNECT"), QStringLiteral("Off"), 10000);
    }

    void property_changes_send_exact_commands() {
        QVERIFY(connect_inverter());
        const termios line = inverter->settings();
        QCOMPARE(line.c_cflag & (CBAUD | CSIZE | PARENB | CSTOPB), tcflag_t(B9600 | CS8));
        const std::pair<const char*, QByteArray> steps[] = {
            {"FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON=On", ":D00"}, // at the intensity it starts with
            {"FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE=40", ":D20"},
            {"FLAT_LIGHT_CONTROL.FLAT_LIGHT_OFF=On", ":D00"},
            {"FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE=60", ""}, // kept while off
            {"FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON=On", ":D30"},
            {"FREQUENCY.FREQUENCY_HZ=450", ":E45"},
            {"ADJUST_MODE.MODE_FREQUENCY=On", ":M1#"},
            {"ADJUST_MODE.MODE_VOLTAGE=On", ":M0#"},
            {"CONTROL_SOURCE.CONTROL_FRONT_PANEL=On", ":F#"},
            {"CONTROL_SOURCE.CONTROL_PC=On", ":O#"},
            {"CAMERA_SHUTTER.SHUTTER_OPEN=On", ":C1#"},
            {"CAMERA_SHUTTER.SHUTTER_CLOSED=On", ":C0#"},
            {"SHUTTER_EXPOSURE.EXPOSURE_SECONDS=5", ":C1#"},
            {"CONNECTION.DISCONNECT=On", ":C0#:F#"}, // the exposure ends with the line
        };
        for (const auto& [setting, sent] : steps) {
            QVERIFY(set(setting));
            QCOMPARE(inverter->read_quiet(300), sent);
        }
        // An exposure left to run releases the shutter after its time.
        QVERIFY(connect_inverter());
        QElapsedTimer held;
        held.start();
        QVERIFY(set("SHUTTER_EXPOSURE.EXPOSURE_SECONDS=0.5"));
        QCOMPARE(inverter->read(4, 2000), QByteArray(":C1#"));
        QCOMPARE(inverter->read(4, 2000), QByteArray(":C0#"));
        QCOMPARE_GE(held.elapsed(), 500);
        QTRY_COMPARE(get("SHUTTER_EXPOSURE._STATE"), QStringLiteral("Ok"));
        // With no exposure running, disconnecting only hands control back.
        QVERIFY(set("CONNECTION.DISCONNECT=On"));
        QCOMPARE(inverter->read_quiet(300), QByteArray(":F#"));
    }

    void reports_show_in_the_properties() {
        QVERIFY(connect_inverter());
        // Split across writes and merged in one; each is applied, in order.
        for (const char* chunk : {":EDU2", "5#:EFQ6", "0#:ELM1#:CAS1#:ELC0#"})
            inverter->write(chunk);
        QTRY_COMPARE(get("FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE"), QStringLiteral("50"));
        QCOMPARE(get("FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON"), QStringLiteral("On"));
        QCOMPARE(get("FREQUENCY.FREQUENCY_HZ"), QStringLiteral("600"));
        QCOMPARE(get("ADJUST_MODE.MODE_FREQUENCY"), QStringLiteral("On"));
        QCOMPARE(get("CAMERA_SHUTTER.SHUTTER_OPEN"), QStringLiteral("On"));
        QCOMPARE(get("CONTROL_SOURCE.CONTROL_FRONT_PANEL"), QStringLiteral("On"));
        // Turned off, the inverter's duty of 0 keeps the intensity for turning it on again.
        QVERIFY(set("FLAT_LIGHT_CONTROL.FLAT_LIGHT_OFF=On"));
        QCOMPARE(inverter->read_quiet(300), QByteArray(":D00"));
        inverter->write(":EDU00#");
        QVERIFY(inverter->taken());
        QVERIFY(set("FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON=On"));
        QCOMPARE(inverter->read_quiet(300), QByteArray(":D25"));
        QCOMPARE(get("FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE"), QStringLiteral("50"));
        // The knob turned up while the light is off turns it on.
        QVERIFY(set("FLAT_LIGHT_CONTROL.FLAT_LIGHT_OFF=On"));
        QCOMPARE(inverter->read(4, 5000), QByteArray(":D00"));
        inverter->write(":EDU05#");
        QTRY_COMPARE(get("FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON"), QStringLiteral("On"));
        QCOMPARE(get("FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE"), QStringLiteral("10"));
    }

    void an_unplugged_inverter_ends_the_connection_in_alert() {
        QVERIFY(connect_inverter());
        inverter.reset();
        QTRY_COMPARE(get("CONNECTION._STATE"), QStringLiteral("Alert"));
        QCOMPARE(get("CONNECTION.CONNECT"), QStringLiteral("Off"));
    }

    // Only the control report answers the handshake.
    void an_inverter_that_does_not_answer_is_not_connected() {
        inverter = std::make_unique<Pty>();
        QVERIFY(set("DEVICE_PORT.PORT=" + inverter->slave_path()));
        QVERIFY(set("CONNECTION.CONNECT=On"));
        QCOMPARE(inverter->read(3, 5000), QByteArray(":O#"));
        inverter->write(":EDU25#");
        QTRY_COMPARE(get("CONNECTION._STATE"), QStringLiteral("Alert"));
        QCOMPARE(get("CONNECTION.CONNECT"), QStringLiteral("Off"));
    }

private:
    QString get(const QString& property) const { return server.get(property); }
    bool set(const QString& setting) const { return server.set(setting); }

    // Connects the driver to a new inverter, which grants the PC control.
    bool connect_inverter() {
        set("CONNECTION.DISCONNECT=On");
        if (!QTest::qWaitFor([&] { return get("CONNECTION.CONNECT") == "Off"; }, 5000))
            return false;
        inverter = std::make_unique<Pty>();
        if (!set("DEVICE_PORT.PORT=" + inverter->slave_path()) || !set("CONNECTION.CONNECT=On"))
            return false;
        if (inverter->read(3, 5000) != ":O#") return false;
        inverter->write(":ELC1#");
        return QTest::qWaitFor([&] { return get("CONNECTION._STATE") == "Ok"; }, 5000);
    }

    const IndiServer server{QStringLiteral(LUMIVANE_INDI)};
    std::unique_ptr<Pty> inverter;
};

QTEST_GUILESS_MAIN(IndiTest)
#include "test_indi.moc"
