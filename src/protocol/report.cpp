#include "report.h"

#include "report_number.h"
#include "wire.h"

#include <utility>

QString trim_spaces(const QString& s) {
    qsizetype first = 0;
    qsizetype last = s.size();
    while (first < last && s[first] == u' ')
        ++first;
    while (last > first && s[last - 1] == u' ')
        --last;
    return s.mid(first, last - first);
}

Report read_report(const QString& frame) {
    static const std::pair<const char*, ReportKind> keywords[] = {
        {wire::shutter_report, ReportKind::shutter},
        {wire::control_report, ReportKind::control},
        {wire::mode_report, ReportKind::mode},
        {wire::duty_report, ReportKind::duty},
        {wire::frequency_report, ReportKind::frequency},
        {wire::beep_report, ReportKind::beep}};
    const QString f = trim_spaces(frame);
    const QString key = f.left(3);
    Report report;
    for (const auto& [keyword, kind] : keywords) {
        if (key == QLatin1String(keyword)) report.kind = kind;
    }
    if (f.size() > 3) report.flag = f[3];
    if (report.kind == ReportKind::duty || report.kind == ReportKind::frequency)
        report.tenths = field_tenths(QStringView(f).mid(3, 2));
    return report;
}
