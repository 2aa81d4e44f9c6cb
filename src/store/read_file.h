#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// At most the first 64 KiB of the regular file at path: the settings files are
// a few hundred bytes, and nothing past that can matter. Nothing when it is
// missing, unreadable or no regular file (a FIFO, a device, a folder); opening
// never waits for a writer at the other end of a FIFO.
std::optional<QByteArray> read_file(const QString& path);
