// Measures how fast the panel shows a report, how many reports of a burst it
// applies, what its pause and its idle time cost, how fast the program starts,
// what it costs on a desktop at the line's pace, the INDI driver's latencies
// and lumivaned's latency, throughput, idle cost and memory under clients that
// never read; prints the table and, with --doc PATH, writes it with its notes
// into the measured part of that document.
#include "alpaca_server.h"
#include "burst.h"
#include "desktop_pace.h"
#include "idle.h"
#include "indi_latency.h"
#include "measure.h"
#include "panel_latency.h"
#include "pause.h"
#include "performance_doc.h"
#include "startup.h"
#include "support/pty.h"
#include "support/recording_toolkit.h"
#include "timed_form.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const qsizetype doc_arg = args.indexOf(QStringLiteral("--doc"));
    const QString doc_path = doc_arg > 0 ? args.value(doc_arg + 1) : QString();
    // Checked first, so that a document without its markers costs no run.
    if (const QString error = doc_path.isEmpty() ? QString() : measured_part_error(doc_path);
        !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    const QString machine = machine_description();

    QTemporaryDir dir;
    Pty panel_line;
    panel_line.link_as_port(dir.path(), 1);
    Pty burst_line;
    burst_line.link_as_port(dir.path(), 2);
    // Quiet desktop services: no modal box, no sound.
    RecordingToolkit toolkit;
    TimedForm form(toolkit, dir.path());
    form.Form_Load();
    form.show();
    // Runs the activation the first show queued (reads the stored settings).
    QCoreApplication::processEvents();
    form.device().COMM1open();
    if (!form.device().MSComm1.PortOpen()) {
        std::fprintf(stderr, "cannot open the pty as port 1\n");
        return 1;
    }

    // Each measurement adds its rows and notes, in the table's order.
    Results results;
    results.add(panel_latency_results(form, panel_line));
    results.add(burst_results(dir.path(), burst_line, 2));
    results.add(pause_results(form));
    results.add(idle_results());
    const QString programs = QCoreApplication::applicationDirPath();
    results.add(startup_results(programs + QStringLiteral("/lumivane")));
    results.add(desktop_pace_results(programs + QStringLiteral("/lumivane")));
    results.add(indi_results(programs + QStringLiteral("/indi_lumivane")));
    results.add(alpaca_results(programs + QStringLiteral("/lumivaned")));

    const QString table = summary(machine, results);
    std::fputs(table.toUtf8().constData(), stdout);
    std::fflush(stdout);
    if (!doc_path.isEmpty()) {
        if (const QString error =
                write_measured_part(doc_path, table + u'\n' + notes_section(results));
            !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    return results.complete ? 0 : 1;
}
