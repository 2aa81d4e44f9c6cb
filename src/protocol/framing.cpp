#include "framing.h"

QList<QByteArray> take_frames(QByteArray& RX_buf, QByteArrayView chunk) {
    RX_buf.append(chunk);
    QList<QByteArray> frames;
    qsizetype start = 0;
    for (qsizetype end = RX_buf.indexOf('#'); end >= 0; end = RX_buf.indexOf('#', start)) {
        const QByteArrayView lead(RX_buf.constData() + start, end - start);
        const qsizetype colon = lead.lastIndexOf(':');
        const QByteArrayView body =
            colon >= 0 ? lead.sliced(colon + 1) : lead.sliced(lead.isEmpty() ? 0 : 1);
        frames.append(body.toByteArray() + '#');
        start = end + 1;
    }
    RX_buf.remove(0, start);
    if (RX_buf.size() > max_pending_bytes) RX_buf.remove(0, RX_buf.size() - max_pending_bytes);
    return frames;
}
