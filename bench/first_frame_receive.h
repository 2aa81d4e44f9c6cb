#pragma once

#include <QByteArray>
#include <optional>

// A receive routine that hands on at most the first frame of each
// notification, kept here only to compare against the panel's framing. On each
// notification it reads every waiting byte s, builds its buffer as s without
// its first character followed by s, hands on the text up to and including the
// first "#" of that buffer, and empties the buffer.
class FirstFrameReceive {
public:
    std::optional<QByteArray> on_notification(const QByteArray& s);

private:
    QByteArray buffer;
};
