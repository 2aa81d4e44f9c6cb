// The inverter model on plain tables: requests, reports and time in; commands,
// refusals and the state to show out.
#include "protocol/inverter_model.h"

#include <QTest>
#include <cstdlib>

using namespace inverter;

namespace {

const char* status_name(Status s) {
    static const char* const names[] = {"idle", "ok", "busy", "alert"};
    return names[int(s)];
}

const char* link_name(Link l) {
    static const char* const names[] = {"offline", "answering", "online"};
    return names[int(l)];
}

template <typename T> QString shown(const Shown<T>& s) {
    return QString::number(double(s.value)) + u'/' + QLatin1String(status_name(s.status));
}

} // namespace

class ModelTest : public QObject {
    Q_OBJECT
private slots:
    void scripts_data() {
        QTest::addColumn<QString>("script"); // actions, ";" between them
        QTest::addColumn<QString>("sent");   // every command, in order
        QTest::addColumn<QString>("expect"); // name=value/status of what is shown, and counts
        const auto row = [](const char* name, const char* script, const char* sent,
                            const char* expect) {
            QTest::newRow(name) << QString::fromLatin1(script) << QString::fromLatin1(sent)
                                << QString::fromLatin1(expect);
        };
        // The link.
        row("any control report answers", "open;<:ELC0#", ":O#",
            "link=online pc=0/alert warnings=1");
        row("no answer within 1 s", "open;+999;+1", ":O#", "link=offline warnings=1");
        row("nothing while offline", "light 1;intensity 40;frequency 450;pc 1;shutter 1;expose 1",
            "", "refused=6 link=offline");
        // The duty: the client's light and intensity; the knob only under front-panel control.
        row("late echo after off", "open;<:ELC1#;intensity 40;light 1;light 0;<:EDU20#",
            ":O#:D20:D00", "light=0/busy intensity=40/ok");
        row("off on off, echoed",
            "open;<:ELC1#;intensity 40;light 0;light 1;light 0;"
            "<:EDU00#;<:EDU20#;<:EDU00#",
            ":O#:D00:D20:D00", "light=0/ok intensity=40/ok warnings=0");
        row("intensity while on", "open;<:ELC1#;light 1;intensity 41;<:EDU00#;<:EDU21#",
            ":O#:D00:D21", "light=1/ok intensity=42/ok");
        row("an echo of nothing", "open;<:ELC1#;intensity 40;<:EDU25#;<:EFQ60#", ":O#",
            "light=0/idle intensity=40/ok frequency=450/idle");
        row("contradicted", "open;<:ELC1#;intensity 40;light 1;<:EDU10#", ":O#:D20",
            "light=1/alert intensity=40/ok warnings=1");
        row("unanswered", "open;<:ELC1#;light 1;frequency 600;+999;+1", ":O#:D00:E60",
            "light=1/alert frequency=600/alert warnings=2");
        row("the knob", "open;<:ELC1#;<:ELC0#;<:EDU05#;<:EFQ66#;<:EDU00#;<:ELM1#", ":O#",
            "light=0/ok intensity=10/ok frequency=660/ok voltage=0/ok");
        row("reports outside the codes", "open;<:ELC1#;<:ELC0#;<:EDU51#;<:EDU.5#;<:EFQ09#;<:EFQ71#",
            ":O#", "light=0/idle intensity=0/idle frequency=450/idle warnings=4");
        // What each control source allows, and what no request may carry.
        row("the knob's control refuses the duty",
            "open;<:ELC1#;<:ELC0#;light 1;frequency 450;"
            "intensity 40;voltage 0",
            ":O#:M1#", "refused=2 intensity=40/ok voltage=0/busy");
        row("PC control refuses the mode", "open;<:ELC1#;voltage 0;pc 0;<:ELC0#", ":O#:F#",
            "refused=1 pc=0/ok");
        row("refused values",
            "open;<:ELC1#;intensity nan;intensity -1;intensity 101;"
            "frequency nan;frequency 99;frequency 701;expose -5;expose nan;"
            "expose 3601;intensity inf",
            ":O#", "refused=10 intensity=0/idle frequency=450/idle exposure=0/idle");
        // The shutter and exposures.
        row("an exposure runs its time", "open;<:ELC1#;expose 2;<:CAS1#;+1999", ":O#:C1#",
            "exposure=2/busy shutter=1/ok");
        row("and then ends", "open;<:ELC1#;expose 2;<:CAS1#;+1999;+1", ":O#:C1#:C0#",
            "exposure=2/ok shutter=0/busy warnings=0");
        row("exposure 0 releases", "open;<:ELC1#;expose 0;expose 5;expose 0;<:CAS1#;<:CAS0#",
            ":O#:C1#:C0#", "exposure=0/ok shutter=0/ok");
        row("the switch takes over", "open;<:ELC1#;expose 5;shutter 0;+5000", ":O#:C1#:C0#",
            "exposure=5/idle warnings=1");
        row("closing during one", "open;<:ELC1#;expose 5;close", ":O#:C1#:C0#:F#",
            "link=offline exposure=5/ok");
        row("unplugged during one, then back",
            "open;<:ELC1#;intensity 40;light 1;<:EDU20#;"
            "expose 5;lost;open;<:ELC1#",
            ":O#:D20:C1#:O#", "link=online light=0/idle shutter=0/idle intensity=40/idle");
        row("unplugged during one", "open;<:ELC1#;expose 5;lost", ":O#:C1#",
            "link=offline exposure=5/alert warnings=1");
    }

    void scripts() {
        QFETCH(QString, script);
        Model model;
        Clock::time_point now{};
        QByteArray sent;
        int refused = 0;
        int warnings = 0;
        const auto take = [&](const Step& step) {
            for (const QByteArray& command : step.commands)
                sent += command;
            refused += !step.refused.isEmpty();
            warnings += int(step.warnings.size());
        };
        for (const QString& action : script.split(u';')) {
            const QString verb = action.section(u' ', 0, 0);
            const double value =
                std::strtod(action.section(u' ', 1).toLatin1().constData(), nullptr);
            if (verb.startsWith(u'<'))
                take(model.receive(verb.mid(1).toLatin1(), now));
            else if (verb.startsWith(u'+'))
                take(model.tick(now += std::chrono::milliseconds(verb.mid(1).toInt())));
            else if (verb == "open")
                take(model.open(now));
            else if (verb == "close")
                take(model.close());
            else if (verb == "lost")
                take(model.lost());
            else if (verb == "light")
                take(model.set_light(value != 0, now));
            else if (verb == "intensity")
                take(model.set_intensity(value, now));
            else if (verb == "frequency")
                take(model.set_frequency(value, now));
            else if (verb == "pc")
                take(model.set_pc_control(value != 0, now));
            else if (verb == "voltage")
                take(model.set_voltage_mode(value != 0, now));
            else if (verb == "shutter")
                take(model.set_shutter(value != 0, now));
            else if (verb == "expose")
                take(model.expose(value, now));
            else
                QFAIL(qPrintable("unknown action " + action));
        }
        QTEST(QString::fromLatin1(sent), "sent");
        const State& s = model.state();
        const QMap<QString, QString> seen = {
            {"link", QLatin1String(link_name(s.link))}, {"pc", shown(s.pc_control)},
            {"voltage", shown(s.voltage_mode)},         {"light", shown(s.light_on)},
            {"intensity", shown(s.intensity)},          {"frequency", shown(s.frequency)},
            {"shutter", shown(s.shutter_pressed)},      {"exposure", shown(s.exposure)},
            {"refused", QString::number(refused)},      {"warnings", QString::number(warnings)}};
        QFETCH(QString, expect);
        for (const QString& item : expect.split(u' ')) {
            const QString name = item.section(u'=', 0, 0);
            QVERIFY2(seen.contains(name), qPrintable(name));
            QCOMPARE(name + u'=' + seen[name], item);
        }
    }
};

QTEST_GUILESS_MAIN(ModelTest)
#include "test_inverter_model.moc"
