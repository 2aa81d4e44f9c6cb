// Received bytes in arbitrary chunks through the framing and the report
// dispatcher: nothing may crash, the pending buffer stays bounded, and the
// panel only ever gets what a report can produce.
#include "device/comm.h"
#include "device/framing.h"
#include "shared/start.h"

#include <QRegularExpression>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

class CheckingPanel : public PanelView {
public:
    void setShape1BackColor(qint16 Index, Colour c) override { lamp_pair(Index, c); }
    void setShape4BackColor(qint16 Index, Colour c) override { lamp_pair(Index, c); }
    void setShape3BackColor(Colour c) override { check(c == colour_red || c == colour_menu); }
    void setLabel1Caption(qint16 Index, const QString& caption) override {
        static const QRegularExpression duty(QStringLiteral("^-?\\d{1,3}(\\.\\d)?%$"));
        static const QRegularExpression freq(QStringLiteral("^-?\\d{1,4}(\\.\\d)?Hz$"));
        check(Index == 0 ? duty.match(caption).hasMatch() : Index == 1 && freq.match(caption).hasMatch());
    }
    void View_init(qint16 f) override { check(f == 1 || f == 2); }

private:
    static void lamp_pair(qint16 Index, Colour c) {
        check(Index == 0 || Index == 1);
        check(c == colour_orange || c == colour_window);
    }
};

class QuietToolkit : public Toolkit {
public:
    int MsgBox(const QString&, int, const QString&) override {
        std::abort(); // receiving never asks the operator anything
    }
    void Beep() override {}
    void DoEvents() override {}
    void PlaySound(const QString&) override {}
    [[noreturn]] void End() override { std::abort(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CheckingPanel panel;
    static QuietToolkit toolkit;
    static COMM comm(panel, toolkit, QStringLiteral("/nonexistent"));
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
    check(start::cur_duty >= -9 && start::cur_duty <= 99);
    check(start::cur_freq >= -9 && start::cur_freq <= 99);
    return 0;
}
