#include "first_frame_receive.h"

std::optional<QByteArray> FirstFrameReceive::on_notification(const QByteArray& s) {
    buffer = s.mid(1) + s;
    std::optional<QByteArray> frame;
    const qsizetype end = buffer.indexOf('#');
    if (end >= 0) frame = buffer.left(end + 1);
    buffer.clear();
    return frame;
}
