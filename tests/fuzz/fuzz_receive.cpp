// Received bytes in arbitrary chunks through the framing and the report
// dispatcher: nothing may crash, the pending buffer stays bounded, nothing asks
// the operator, and the panel only ever gets what a report can produce.
#include "device/comm.h"
#include "fuzz/check.h"
#include "protocol/framing.h"
#include "shared/start.h"
#include "support/recording_panel.h"
#include "support/recording_toolkit.h"

#include <QRegularExpression>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static RecordingPanel panel;
    static RecordingToolkit toolkit;
    static COMM comm(panel, toolkit, QStringLiteral("/nonexistent"),
                     QStringLiteral("/nonexistent"));
    // Lamps in the two colours a report sets, captions of a number of at most
    // two digits, and the two views.
    static const QRegularExpression change(
        QStringLiteral("^(Shape[14]\\([01]\\)=(orange|unlit)|Shape3=(red|menu)|View_init\\([12]\\)|"
                       "Label1\\(0\\)=-?\\d{1,3}(\\.\\d)?%|Label1\\(1\\)=-?\\d{1,4}(\\.\\d)?Hz)$"));
    // The first byte seeds the chunk sizes; the rest is the line's bytes.
    if (size == 0) return 0;
    unsigned seed = data[0];
    QByteArray RX_buf;
    for (std::size_t at = 1; at < size;) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t n = std::min<std::size_t>(1 + (seed >> 16) % 24, size - at);
        const auto chunk = QByteArrayView(reinterpret_cast<const char*>(data) + at, qsizetype(n));
        for (const QByteArray& frame : take_frames(RX_buf, chunk)) {
            check(frame.endsWith('#'));
            comm.RX_data(QString::fromLatin1(frame));
        }
        check(RX_buf.size() <= max_pending_bytes);
        check(!RX_buf.contains('#'));
        at += n;
    }
    for (const QString& entry : std::exchange(panel.log, {}))
        check(change.match(entry).hasMatch());
    check(toolkit.boxes.isEmpty());
    for (const std::optional<qint16>& code : {start::cur_duty, start::cur_freq})
        check(!code || (*code >= -9 && *code <= 99));
    return 0;
}
