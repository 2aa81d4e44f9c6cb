#include "performance_doc.h"

#include <QFile>
#include <QSaveFile>
#include <optional>

namespace {

const QByteArray begin_marker = "<!-- measured: written by bench/run.sh -->";
const QByteArray end_marker = "<!-- end of measured -->";

// The document up to and including the begin marker's line, and from the end
// marker's line on.
struct Around {
    QByteArray before, after;
};

// Reads the document at path and finds its markers; sets error when it cannot.
std::optional<Around> read_around(const QString& path, QString& error) {
    QFile doc(path);
    if (!doc.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, doc.errorString());
        return std::nullopt;
    }
    const QList<QByteArray> lines = doc.readAll().split('\n');
    const qsizetype begin = lines.indexOf(begin_marker);
    const qsizetype end = begin < 0 ? -1 : lines.indexOf(end_marker, begin + 1);
    if (end < 0) {
        error = QStringLiteral("%1 lacks the line \"%2\" followed by the line \"%3\", between "
                               "which the measured part goes")
                    .arg(path, QString::fromLatin1(begin_marker), QString::fromLatin1(end_marker));
        return std::nullopt;
    }
    return Around{lines.mid(0, begin + 1).join('\n') + '\n', lines.mid(end).join('\n')};
}

} // namespace

QString measured_part_error(const QString& path) {
    QString error;
    read_around(path, error);
    return error;
}

QString write_measured_part(const QString& path, const QString& text) {
    QString error;
    const std::optional<Around> around = read_around(path, error);
    if (!around) return error;
    QSaveFile doc(path);
    if (!doc.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write %1: %2").arg(path, doc.errorString());
    doc.write(around->before + '\n' + text.toUtf8() + '\n' + around->after);
    if (!doc.commit()) return QStringLiteral("cannot write %1: %2").arg(path, doc.errorString());
    return {};
}
