#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path with bytes. The bytes go to a temporary file in the
// same folder, which is renamed over the old file only once every byte is
// written, so a failure at any step (full disk) leaves the old file as it was.
// A file that is a link keeps its link; its target gets the bytes. Where no
// temporary file can be made (a read-only folder holding a writable file), the
// file is rewritten in place instead, claiming the space before any old byte
// is overwritten; so it is where the new file cannot take the old one's place
// (another user's file in a sticky folder). Returns whether the new content is
// in place.
bool replace_file(const QString& path, const QByteArray& bytes);
