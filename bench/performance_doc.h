#pragma once

#include <QString>

// The performance document keeps hand-written text around one measured part,
// between the marker lines
//   <!-- measured: written by bench/run.sh -->
//   <!-- end of measured -->
// and the benchmark replaces only what lies between them.

// Why the document at path cannot take the measured part (it cannot be read,
// or lacks the markers), or an empty text when it can.
QString measured_part_error(const QString& path);
// Replaces the measured part of the document at path with text; returns what
// went wrong, or an empty text.
QString write_measured_part(const QString& path, const QString& text);
