#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Bytes kept while waiting for the "#" that closes a frame; older ones are
// dropped so that noise cannot grow the buffer.
constexpr qsizetype max_pending_bytes = 64;

// Appends a received chunk to RX_buf and cuts out every frame it completes, in
// arrival order. Each "#" closes a frame; the frame's text starts after its
// lead-in: after the last ":" since the previous "#" when there is one,
// otherwise after the first character since the previous "#". The frame keeps
// its "#". Bytes not yet closed by a "#" stay in RX_buf for the next chunk.
QList<QByteArray> take_frames(QByteArray& RX_buf, QByteArrayView chunk);
