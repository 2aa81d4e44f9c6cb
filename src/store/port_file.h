#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The port file com_no.txt: the port last picked, as its number in decimal
// followed by CR LF ("10\r\n" for COM10).

// The port number the file's content names: its first item (leading spaces
// skipped; ended by a comma, CR, LF or the end; an item in double quotes runs
// to the closing quote), with spaces trimmed at both ends, counts only when it
// is exactly one of "1" to "15". An empty file names nothing.
std::optional<qint16> port_in_file_content(QByteArrayView content);

// The bytes written for a port number given as its decimal text.
QByteArray port_file_content(const QString& comm_ch);

// Reads the file at path (as read_file does); nothing when it is missing,
// unreadable, no regular file or names no port.
std::optional<qint16> read_port_file(const QString& path);

// Replaces the file at path with the port's bytes, as replace_file does.
// Returns whether it worked.
bool write_port_file(const QString& path, const QString& comm_ch);
