// The light-box driver under a real indiserver, set with indi_setprop and read
// with indi_getprop or a raw client, with a pseudo-terminal as the inverter:
// the exact bytes of each request, late echoes, refused requests, an unplugged
// line and a restart, and one owner for one device.
#include "device/comm.h"
#include "device/port_lock.h"
#include "support/indi_client.h"
#include "support/indi_server.h"
#include "support/pty.h"
#include "support/recording_panel.h"
#include "support/recording_toolkit.h"
#include "support/table.h"
#include "support/without_capabilities.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <fcntl.h>

class IndiTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QTRY_COMPARE_WITH_TIMEOUT(get("CONNECTION.CONNECT"), QStringLiteral("Off"), 10000);
        QCOMPARE(get("DRIVER_INFO.DRIVER_VERSION"), QStringLiteral(LUMIVANE_VERSION));
        QVERIFY(set("CONFIG_PROCESS.CONFIG_SAVE=On"));
    }

    void requests_send_exact_commands() {
        QVERIFY(set("DEVICE_BAUD_RATE.19200=On")); // the inverter's line keeps its own
        QVERIFY(connect_inverter());
        // The configuration saved before has no frequency of a client's to restore.
        QCOMPARE(restored, QByteArray(":D00"));
        QCOMPARE(get("FREQUENCY._STATE"), QStringLiteral("Idle"));
        const termios line = inverter->settings();
        QCOMPARE(line.c_cflag & (CBAUD | CSIZE | PARENB | CSTOPB), tcflag_t(B9600 | CS8));
        const std::pair<const char*, QByteArray> steps[] = {
            {"FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE=40", ""}, // kept while off
            {"FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON=On", ":D20"},
            {"FLAT_LIGHT_CONTROL.FLAT_LIGHT_OFF=On", ":D00"},
            {"FREQUENCY.FREQUENCY_HZ=450", ":E45"},
            {"CONTROL_SOURCE.CONTROL_FRONT_PANEL=On", ":F#"},
            {"ADJUST_MODE.MODE_FREQUENCY=On", ":M1#"},
            {"ADJUST_MODE.MODE_VOLTAGE=On", ":M0#"},
            {"CONTROL_SOURCE.CONTROL_PC=On", ":O#"},
            {"CAMERA_SHUTTER.SHUTTER_OPEN=On", ":C1#"},
            {"CAMERA_SHUTTER.SHUTTER_CLOSED=On", ":C0#"},
            {"SHUTTER_EXPOSURE.EXPOSURE_SECONDS=5", ":C1#"},
            {"SHUTTER_EXPOSURE.EXPOSURE_SECONDS=0", ":C0#"}, // ends it at once
            {"SHUTTER_EXPOSURE.EXPOSURE_SECONDS=5", ":C1#"},
            {"CONNECTION.DISCONNECT=On", ":C0#:F#"}, // the exposure ends with the line
        };
        for (const auto& [setting, sent] : steps) {
            QVERIFY(set(setting));
            QCOMPARE(inverter->read_quiet(300), sent);
        }
        // An exposure left to run releases the shutter after its time.
        QVERIFY(connect_inverter());
        QVERIFY(set("SHUTTER_EXPOSURE.EXPOSURE_SECONDS=0.5"));
        QCOMPARE(inverter->read(8, 2000), QByteArray(":C1#:C0#"));
        QTRY_COMPARE(get("SHUTTER_EXPOSURE._STATE"), QStringLiteral("Ok"));
    }

    // The light is what the client last asked, confirmed by the echo of its
    // last command; an echo of an earlier one, late, changes nothing.
    void late_echoes_keep_what_was_asked() {
        QVERIFY(connect_inverter());
        QVERIFY(set("FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE=40"));
        for (const char* light : {"ON", "OFF", "ON", "OFF"})
            QVERIFY(set(QStringLiteral("FLAT_LIGHT_CONTROL.FLAT_LIGHT_%1=On").arg(light)));
        QCOMPARE(inverter->read(16, 2000), QByteArray(":D20:D00:D20:D00"));
        QCOMPARE(get("FLAT_LIGHT_CONTROL._STATE"), QStringLiteral("Busy"));

        for (const char* echo : {":EDU20#", ":EDU00#", ":EDU20#", ":EDU00#"})
            inverter->write(echo);
        QTRY_COMPARE(get("FLAT_LIGHT_CONTROL._STATE"), QStringLiteral("Ok"));
        QCOMPARE(get("FLAT_LIGHT_CONTROL.FLAT_LIGHT_OFF"), QStringLiteral("On"));
        QCOMPARE(get("FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE"), QStringLiteral("40"));
        QVERIFY(set("FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON=On"));
        QCOMPARE(inverter->read_quiet(300), QByteArray(":D20"));
    }

    void refused_requests_send_nothing_data() {
        // A setting for indi_setprop, or raw XML; an element that keeps its value.
        const Table<QString, QString> row("request", "kept");
        for (const QString setting :
             {"SHUTTER_EXPOSURE.EXPOSURE_SECONDS=-5", "FREQUENCY.FREQUENCY_HZ=nan",
              "FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE=nan",
              "FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE=102"})
            row(setting, setting, setting.section(u'=', 0, 0));
        const QString xml =
            QStringLiteral(R"(<newSwitchVector device="Lumivane" name="%1">)"
                           R"(<oneSwitch name="%2">%3</oneSwitch></newSwitchVector>)");
        for (const auto& [property, first] : {std::pair{"CONTROL_SOURCE", "CONTROL_PC"},
                                              {"ADJUST_MODE", "MODE_VOLTAGE"},
                                              {"CAMERA_SHUTTER", "SHUTTER_OPEN"},
                                              {"FLAT_LIGHT_CONTROL", "FLAT_LIGHT_ON"}})
            row(property, xml.arg(property, "NONE", "On"),
                QStringLiteral("%1.%2").arg(property, first));
        row("no switch on", xml.arg("CAMERA_SHUTTER", "SHUTTER_CLOSED", "Off"),
            "CAMERA_SHUTTER.SHUTTER_CLOSED");
    }

    void refused_requests_send_nothing() {
        QFETCH(QString, request);
        QFETCH(QString, kept);
        if (get("FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON") != "On") { // connected, the light on
            QVERIFY(connect_inverter());
            QVERIFY(set("SHUTTER_EXPOSURE.EXPOSURE_SECONDS=0.1"));
            QCOMPARE(inverter->read(8), QByteArray(":C1#:C0#"));
            QVERIFY(set("FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON=On"));
            inverter->write(":CAS1#:CAS0#:EDU" + inverter->read(4).mid(2) + "#");
        }
        const QString before = get(kept);
        IndiClient client(server);
        if (request.startsWith(u'<'))
            client.send(request.toLatin1());
        else
            QVERIFY(set(request));
        const QRegularExpression refused(
            QStringLiteral("^set %1 Alert: \\S").arg(kept.section(u'.', 0, 0)));
        QTRY_COMPARE(client.seen().filter(refused).size(), 1);
        QCOMPARE(inverter->read_quiet(300), QByteArray());
        QCOMPARE(get(kept), before);
    }

    // An unplug hangs the line up: the driver ends the exposure and lets go of
    // the device.
    void unplugged_during_an_exposure_then_restarted() {
        QVERIFY(connect_inverter());
        QVERIFY(set("FLAT_LIGHT_INTENSITY.FLAT_LIGHT_INTENSITY_VALUE=40"));
        QVERIFY(set("FREQUENCY.FREQUENCY_HZ=520"));
        QVERIFY(set("SHUTTER_EXPOSURE.EXPOSURE_SECONDS=10"));
        QCOMPARE(inverter->read(8, 2000), QByteArray(":E52:C1#"));
        IndiClient client(server);
        client.seen();
        QVERIFY(inverter->hang_up());
        QTRY_VERIFY(client.seen().contains("set SHUTTER_EXPOSURE Alert"));
        QTRY_COMPARE(get("CONNECTION._STATE"), QStringLiteral("Alert"));
        PortLock lock; // the device let go: another program takes it
        std::string why;
        QCOMPARE(lock.take(inverter->slave_path().toStdString(), why), PortLock::Outcome::taken);
        // The saved intensity and frequency come back after a restart, also
        // through a configuration saved before connecting; the switches start
        // released and off.
        server.restart();
        QTRY_COMPARE_WITH_TIMEOUT(get("CONNECTION.CONNECT"), QStringLiteral("Off"), 10000);
        QVERIFY(set("CONFIG_PROCESS.CONFIG_SAVE=On"));
        IndiClient fresh(server);
        QVERIFY(connect_inverter());
        QCOMPARE(restored, QByteArray(":D00:E52"));
        QCOMPARE(get("FLAT_LIGHT_CONTROL.FLAT_LIGHT_OFF"), QStringLiteral("On"));
        QCOMPARE(get("CAMERA_SHUTTER.SHUTTER_CLOSED"), QStringLiteral("On"));
        QVERIFY(set("FLAT_LIGHT_CONTROL.FLAT_LIGHT_ON=On"));
        QCOMPARE(inverter->read_quiet(300), QByteArray(":D20"));
        // No property is set before it is defined.
        const QStringList control = fresh.seen().filter(" CONTROL_SOURCE ");
        QVERIFY(!control.isEmpty() && control.first().startsWith("def "));
        QFile config(server.home_path() + "/.indi/Lumivane_config.xml");
        QVERIFY(config.open(QIODevice::ReadOnly));
        QVERIFY(!config.readAll().contains("POLLING_PERIOD"));
    }

    // However the driver ends, it first hands control back as a disconnect
    // does: indiserver ended alone closes the driver's input; a signal to the
    // driver alone, which indiserver then starts again.
    void ending_hands_control_back_data() {
        const Table<int> row("signal");
        row("indiserver ended", 0);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            row(strsignal(signal), signal);
    }

    void ending_hands_control_back() {
        QFETCH(int, signal);
        QVERIFY(connect_inverter());
        QVERIFY(set("SHUTTER_EXPOSURE.EXPOSURE_SECONDS=10"));
        QCOMPARE(inverter->read(4), QByteArray(":C1#"));
        if (signal == 0)
            server.restart();
        else
            server.signal_driver(signal);
        QCOMPARE(inverter->read(7, 5000), QByteArray(":C0#:F#"));
        QTRY_COMPARE_WITH_TIMEOUT(get("CONNECTION.CONNECT"), QStringLiteral("Off"), 10000);
        // Left as a user's program finds it: not in the terminal's exclusive mode.
        const WithoutCapabilities as_a_user(1u << CAP_SYS_ADMIN);
        const int line = ::open(qPrintable(inverter->slave_path()), O_RDWR | O_NOCTTY);
        QVERIFY2(line >= 0, strerror(errno));
        ::close(line);
    }

    // Root too: the panel and the driver, or two panels, never share a device.
    void one_owner_per_device() {
        QVERIFY(connect_inverter());
        QTemporaryDir dir;
        inverter->link_as_port(dir.path(), 1);
        RecordingPanel panel;
        RecordingToolkit toolkit;
        COMM comm(panel, toolkit, dir.path(), dir.path());
        comm.COMM1open();
        QCOMPARE(toolkit.boxes, QStringList{"通信エラー"});
        QVERIFY(!comm.MSComm1.PortOpen());
        QVERIFY(set("CONNECTION.DISCONNECT=On"));
        QCOMPARE(inverter->read_quiet(300), QByteArray(":F#"));
        { // as a user, whom the terminal's exclusive mode would keep out
            const WithoutCapabilities as_a_user(1u << CAP_SYS_ADMIN);
            comm.COMM1open();
        }
        QVERIFY(comm.MSComm1.PortOpen());
        COMM second(panel, toolkit, dir.path(), dir.path());
        second.COMM1open();
        QVERIFY(!second.MSComm1.PortOpen());
        IndiClient client(server);
        QVERIFY(set("CONNECTION.CONNECT=On"));
        QTRY_COMPARE(get("CONNECTION._STATE"), QStringLiteral("Alert"));
        QVERIFY(client.seen().filter("in use by another program").size() == 1);
        // Disconnected, the driver refuses what a client still sends.
        client.send(R"(<newSwitchVector device="Lumivane" name="FLAT_LIGHT_CONTROL">)"
                    R"(<oneSwitch name="FLAT_LIGHT_ON">On</oneSwitch></newSwitchVector>)");
        QTRY_COMPARE(
            client.seen().filter(QRegularExpression("^set FLAT_LIGHT_CONTROL Alert: ")).size(), 1);
        QCOMPARE(inverter->read_quiet(300), QByteArray());
    }

private:
    QString get(const QString& property) const { return server.get(property); }
    bool set(const QString& setting) const { return server.set(setting); }

    // Connects the driver to a new inverter, which grants the PC control;
    // `restored` is what the driver sends then.
    bool connect_inverter() {
        set("CONNECTION.DISCONNECT=On");
        if (!QTest::qWaitFor([&] { return get("CONNECTION.CONNECT") == "Off"; }, 5000))
            return false;
        inverter = std::make_unique<Pty>();
        if (!set("DEVICE_PORT.PORT=" + inverter->slave_path()) || !set("CONNECTION.CONNECT=On"))
            return false;
        if (inverter->read(3, 5000) != ":O#") return false;
        inverter->write(":ELC1#");
        if (!QTest::qWaitFor([&] { return get("CONNECTION._STATE") == "Ok"; }, 5000)) return false;
        restored = inverter->read_quiet(300);
        return true;
    }

    IndiServer server{QStringLiteral(LUMIVANE_INDI)};
    std::unique_ptr<Pty> inverter;
    QByteArray restored;
};

QTEST_GUILESS_MAIN(IndiTest)
#include "test_indi.moc"
