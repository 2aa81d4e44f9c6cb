#pragma once

#include <QChar>
#include <QString>

// One report of the inverter, as the panel and the driver apply it.
enum class ReportKind { shutter, control, mode, duty, frequency, beep, other };

struct Report {
    ReportKind kind = ReportKind::other;
    // The character after the keyword (null when there is none): the flag of
    // the shutter, control and mode reports.
    QChar flag;
    // The duty and frequency reports: the number of the two value characters,
    // in tenths (see field_tenths).
    int tenths = 0;
};

// The text with spaces, and only spaces, removed at both ends: the inverter
// pads its reports with them, and the port file may pad its number.
QString trim_spaces(const QString& s);

// Reads one frame (its text up to and including "#"). The keyword is its first
// three characters after trimming, compared exactly; the keywords of wire.h
// give their kinds, anything else is `other`.
Report read_report(const QString& frame);
