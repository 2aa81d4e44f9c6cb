#include "replace_file.h"

#include <QSaveFile>

bool replace_file(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered, so that a short write on a full disk shows in write()'s count
    // instead of being lost in a buffer flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (file.write(bytes) != bytes.size()) return false; // discarded: the old file stays
    return file.commit();
}
