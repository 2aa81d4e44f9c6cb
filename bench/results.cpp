#include "results.h"

void Results::add(const Results& more) {
    rows.insert(rows.end(), more.rows.begin(), more.rows.end());
    notes += more.notes;
    complete = complete && more.complete;
}

QString num(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

QString summary(const QString& machine, const Results& results) {
    QString t =
        QStringLiteral("Machine:\n\n") + machine + QStringLiteral("\nCommand: `bench/run.sh`\n\n");
    t += QStringLiteral("| Figure | Measured | Target | Result |\n|---|---|---|---|\n");
    for (const Row& r : results.rows)
        t += QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                 .arg(r.figure, r.measured, r.target,
                      r.pass ? QStringLiteral("PASS") : QStringLiteral("MISS"));
    return t;
}

QString notes_section(const Results& results) {
    QString n = QStringLiteral("## Notes\n\n");
    for (const QString& note : results.notes)
        n += QStringLiteral("- ") + note + u'\n';
    return n;
}
