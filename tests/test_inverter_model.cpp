// The protocol core on plain tables: received bytes cut into frames and read
// as reports; and the inverter model, with requests, reports and time in and
// commands, refusals and the state to show out.
#include "protocol/framing.h"
#include "protocol/inverter_model.h"
#include "protocol/report.h"
#include "protocol/report_number.h"
#include "support/table.h"

#include <QHash>
#include <QTest>
#include <cstdlib>
#include <functional>

using namespace inverter;

namespace {

// "value/status", as the table's rows give it.
template <typename T> QString shown(const Shown<T>& s) {
    static const char* const statuses[] = {"idle", "ok", "busy", "alert"};
    return QString::number(double(s.value)) + u'/' + QLatin1String(statuses[int(s.status)]);
}

// A report as the rows give it: its kind, then its flag, or its number and
// the code that rounds to.
QString described(const Report& r) {
    static const char* const kinds[] = {"shutter %f",   "control %f", "mode %f", "duty %n",
                                        "frequency %n", "beep",       "other"};
    const QString number =
        tenths_text(r.tenths) + u' ' + QString::number(round_half_even(r.tenths));
    return QString::fromLatin1(kinds[int(r.kind)]).replace("%f", r.flag).replace("%n", number);
}

} // namespace

class ModelTest : public QObject {
    Q_OBJECT
private slots:
    void bytes_read_as_reports_data() {
        // The bytes, "|" between chunks, and the reports read from them.
        const Table<QByteArray, QString> row("bytes", "reports");
        row("no number is zero", ":EDU#:EFQab#:EDU--#", "duty 0 0 frequency 0 0 duty 0 0");
        row("digits end at any other", ":EFQ5#:EDU9x#", "frequency 5 5 duty 9 9");
        row("blanks around a digit", ":EDU 7#:EFQ7 #", "duty 7 7 frequency 7 7");
        row("signs", ":EFQ+3#:EDU-5#", "frequency 3 3 duty -5 -5");
        row("a half to even", ":EFQ.7#:EDU.5#", "frequency 0.7 1 duty 0.5 0");
        row("no lead-in: first character dropped", "CAS1#xEDU25#", "other duty 25 25");
        row("the last colon wins", "ab:c:EDU25#", "duty 25 25");
        row("only 64 unclosed bytes are kept", "xELC1" + QByteArray(100, 'y') + "|#", "other");
    }

    void bytes_read_as_reports() {
        QFETCH(QByteArray, bytes);
        QByteArray RX_buf;
        QStringList reports;
        for (const QByteArray& chunk : bytes.split('|'))
            for (const QByteArray& frame : take_frames(RX_buf, chunk))
                reports << described(read_report(QString::fromLatin1(frame)));
        QTEST(reports.join(u' '), "reports");
    }

    void scripts_data() {
        // The script, actions with ";" between them; every command sent, in order;
        // name=value/status of what is shown, and counts. A script starts connected,
        // the PC in control and the light confirmed off, unless it starts with "~".
        const Table<QString, QString, QString> table("script", "sent", "expect");
        const auto row = [&](const char* name, QString script, QString sent, const char* expect) {
            const bool open = !script.startsWith(u'~');
            table(name, open ? "open;<:ELC1#;<:EDU00#;" + script : script.mid(1),
                  open ? ":O#:D00" + sent : sent, expect);
        };
        // The link: only the grant answers a connect, and the light is then made known.
        row("connected", "+0", "", "link=online pc=1/ok light=0/ok duty=0/ok warnings=0");
        row("stale reports at a connect", "~open;<:ELC0#;<:EDU20#;<:ELC1#", ":O#:D00",
            "link=online pc=1/ok light=0/busy duty=0/busy intensity=0/idle");
        row("a connect given up hands control back", "~open;<:ELC0#;+1000", ":O#:F#",
            "link=offline warnings=1");
        row("and one cancelled", "~open;close", ":O#:F#", "link=offline");
        row("nothing while offline", "~light 1;intensity 4;frequency 450;pc 1;shutter 1;expose 1",
            "", "refused=6 link=offline");
        // The duty: what runs shows, and reports answer the commands in the order sent.
        row("brightness is what runs", "lightat 41;+10", ":D21",
            "light=1/busy intensity=42/busy duty=0/busy");
        row("on at an intensity", "lightat 41;<:EDU21#", ":D21",
            "light=1/ok intensity=42/ok duty=42/ok");
        row("late echo after off", "intensity 40;light 1;light 0;<:EDU20#", ":D20:D00",
            "light=0/busy intensity=40/ok duty=40/busy");
        row("off on off, echoed", "intensity 40;light 0;light 1;light 0;<:EDU00#;<:EDU20#;<:EDU00#",
            ":D00:D20:D00", "light=0/ok intensity=40/ok duty=0/ok warnings=0");
        row("a report answers every older command", "lightat 10;lightat 20;lightat 30;<:EDU10#;+1",
            ":D05:D10:D15", "light=1/busy duty=20/busy warnings=0");
        row("intensity while on", "light 1;intensity 41;<:EDU00#;<:EDU21#", ":D00:D21",
            "light=1/ok intensity=42/ok");
        row("a late report that matches settles", "lightat 20;+1300;<:EDU10#", ":D10",
            "light=1/ok duty=20/ok warnings=1");
        row("a late report of an older command", "lightat 20;+1300;lightat 40;<:EDU10#", ":D10:D20",
            "light=1/busy duty=0/busy warnings=1");
        row("and the newer one's", "lightat 20;+1300;lightat 40;<:EDU10#;<:EDU20#", ":D10:D20",
            "light=1/ok duty=40/ok warnings=1");
        row("contradicted", "intensity 40;light 1;<:EDU10#;+1000", ":D20",
            "light=1/alert intensity=20/alert duty=20/alert warnings=1");
        row("unasked under PC control", "<:EDU25#", "", "duty=50/alert warnings=1");
        // A frequency between two codes goes to the nearer, one half-way up.
        row("unanswered", "light 1;frequency 445;frequency 507;+999;+1", ":D00:E45:E51",
            "light=1/alert frequency=450/alert warnings=2");
        row("the knob", "<:ELC0#;<:EDU05#;<:EFQ66#;<:EDU00#;<:ELM1#", "",
            "light=0/ok intensity=10/ok duty=0/ok frequency=660/ok voltage=0/ok");
        row("the knob's light is sent at the grant", "<:ELC0#;<:EDU05#;pc 1;<:ELC1#", ":O#:D05",
            "pc=1/ok light=1/busy intensity=10/busy");
        row("a frequency nothing asked", "<:EFQ60#", "", "frequency=600/ok warnings=0");
        row("reports outside the codes", "<:ELC0#;<:EDU51#;<:EDU.5#;<:EFQ09#;<:EFQ71#", "",
            "light=0/ok frequency=450/idle warnings=4");
        // What each control source allows, and what no request may carry.
        row("the knob's control refuses the duty",
            "<:ELC0#;light 1;frequency 450;intensity 4;lightat 6;voltage 0", ":M1#",
            "refused=3 intensity=4/ok voltage=0/busy");
        row("PC control refuses the mode", "voltage 0;pc 0;<:ELC0#", ":F#", "refused=1 pc=0/ok");
        row("refused values",
            "intensity nan;intensity -1;intensity 101;intensity inf;lightat 101;frequency nan;"
            "frequency 99;frequency 701;expose -5;expose nan;expose 3601",
            "", "refused=11 intensity=0/idle frequency=450/idle exposure=0/idle");
        // The shutter and exposures.
        row("an exposure runs its time", "expose 2;<:CAS1#;+1999", ":C1#",
            "exposure=2/busy shutter=1/ok");
        row("and then ends", "expose 2;<:CAS1#;+1999;+1", ":C1#:C0#",
            "exposure=2/ok shutter=0/busy warnings=0");
        row("the switch takes over", "expose 5;shutter 0;+5000", ":C1#:C0#",
            "exposure=5/idle warnings=1");
        row("an early shutter echo", "shutter 1;shutter 0;<:CAS1#", ":C1#:C0#", "shutter=0/busy");
        row("a late shutter echo", "shutter 1;+1000;shutter 0;<:CAS1#", ":C1#:C0#",
            "shutter=0/busy warnings=1");
        row("unplugged during one", "expose 5;lost", ":C1#",
            "link=offline exposure=5/alert warnings=1");
        row("and back", "intensity 40;light 1;<:EDU20#;<:EFQ52#;expose 5;lost;open;<:ELC1#",
            ":D20:C1#:O#:D00",
            "link=online light=0/busy shutter=0/idle intensity=40/idle frequency=520/idle");
    }

    void scripts() {
        QFETCH(QString, script);
        Model model;
        Clock::time_point now{};
        QByteArray sent;
        int refused = 0;
        int warnings = 0;
        const auto take = [&](const Step& step) {
            sent += step.commands.join();
            refused += !step.refused.isEmpty();
            warnings += int(step.warnings.size());
        };
        using Request = std::function<Step(double)>;
        const QHash<QString, Request> requests = {
            {"open", [&](double) { return model.open(now); }},
            {"close", [&](double) { return model.close(); }},
            {"lost", [&](double) { return model.lost(); }},
            {"light", [&](double v) { return model.set_light(v != 0, now); }},
            {"intensity", [&](double v) { return model.set_intensity(v, now); }},
            {"lightat", [&](double v) { return model.light_at(v, now); }},
            {"frequency", [&](double v) { return model.set_frequency(v, now); }},
            {"pc", [&](double v) { return model.set_pc_control(v != 0, now); }},
            {"voltage", [&](double v) { return model.set_voltage_mode(v != 0, now); }},
            {"shutter", [&](double v) { return model.set_shutter(v != 0, now); }},
            {"expose", [&](double v) { return model.expose(v, now); }}};
        for (const QString& action : script.split(u';')) {
            const QString verb = action.section(u' ', 0, 0);
            if (verb.startsWith(u'<')) {
                take(model.receive(verb.mid(1).toLatin1(), now));
            } else if (verb.startsWith(u'+')) {
                take(model.tick(now += std::chrono::milliseconds(verb.mid(1).toInt())));
            } else {
                QVERIFY2(requests.contains(verb), qPrintable(action));
                take(requests[verb](std::strtod(qPrintable(action.section(u' ', 1)), nullptr)));
            }
        }
        QTEST(QString::fromLatin1(sent), "sent");
        const State& s = model.state();
        static const char* const links[] = {"offline", "answering", "online"};
        const QStringList seen = {QStringLiteral("link=") + QLatin1String(links[int(s.link)]),
                                  "pc=" + shown(s.pc_control),
                                  "voltage=" + shown(s.voltage_mode),
                                  "light=" + shown(s.light_on),
                                  "intensity=" + shown(s.intensity),
                                  "duty=" + shown(s.duty),
                                  "frequency=" + shown(s.frequency),
                                  "shutter=" + shown(s.shutter_pressed),
                                  "exposure=" + shown(s.exposure),
                                  "refused=" + QString::number(refused),
                                  "warnings=" + QString::number(warnings)};
        QFETCH(QString, expect);
        for (const QString& item : expect.split(u' '))
            QVERIFY2(seen.contains(item), qPrintable(item + " is not in " + seen.join(u' ')));
    }
};

QTEST_GUILESS_MAIN(ModelTest)
#include "test_inverter_model.moc"
