#pragma once

#include <QByteArray>
#include <optional>

// The old receive routine, kept here only to compare against the framing the
// panel uses now. On each notification it reads every waiting byte s, builds
// its buffer as s without its first character followed by s, hands on the text
// up to and including the first "#" of that buffer, at most one frame, and
// empties the buffer.
class LegacyReceive {
public:
    std::optional<QByteArray> on_notification(const QByteArray& s);

private:
    QByteArray buffer;
};
