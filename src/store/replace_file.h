#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path with bytes. The bytes go to a temporary file in the
// same folder, which is renamed over the old file only once every byte is
// written, so a failure at any step (read-only folder, full disk) leaves the
// old file as it was. Returns whether the new content is in place.
bool replace_file(const QString& path, const QByteArray& bytes);
