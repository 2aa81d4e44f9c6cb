#include "burst.h"

#include "device/serial_control.h"
#include "first_frame_receive.h"
#include "measure.h"
#include "protocol/framing.h"
#include "protocol/report.h"
#include "run_until_quit.h"
#include "support/pty.h"

#include <QEventLoop>
#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>

namespace {

constexpr int burst_reports = 1000;
// 10 bits on the line per byte (start, 8 data, stop) at 9600 baud.
constexpr double byte_time_ms = 10.0 / 9.6;

struct Burst {
    int ours = 0;          // duty reports applied by the panel's framing
    int ours_in_order = 0; // of those, the ones with the value sent at that place
    int first_frame = 0;   // duty reports applied by the first-frame routine
    int notifications = 0;
    bool complete = false; // every byte written was received
};

bool is_duty_report(const QByteArray& frame) {
    return read_report(QString::fromLatin1(frame)).kind == ReportKind::duty;
}

// Writes burst_reports duty reports back to back in random chunks of 1 to 16
// bytes, at the line's pace or as fast as the pty takes them. One reader
// serves the port; each notification's bytes go to the panel's framing and to
// the first-frame routine alike.
Burst run_burst(const QString& dir, Pty& line, qint16 port, bool paced, std::mt19937& rng) {
    QByteArray stream;
    std::vector<QByteArray> expected;
    for (int i = 0; i < burst_reports; ++i) {
        const QByteArray report = "EDU" + QByteArray::number(i % 100).rightJustified(2, '0') + '#';
        stream += ':' + report;
        expected.push_back(report);
    }
    std::vector<QByteArray> chunks;
    std::uniform_int_distribution<int> chunk_size(1, 16);
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = std::min<qsizetype>(chunk_size(rng), stream.size() - at);
        chunks.push_back(stream.mid(at, n));
        at += n;
    }

    Burst b;
    MSComm reader(dir);
    reader.setCommPort(port);
    if (!reader.setPortOpen(true)) return b;
    QByteArray RX_buf;
    FirstFrameReceive first_frame;
    qsizetype received = 0;
    QEventLoop loop;
    QObject::connect(&reader, &MSComm::OnComm, &loop, [&] {
        const QByteArray s = reader.Input();
        if (s.isEmpty()) return;
        ++b.notifications;
        received += s.size();
        for (const QByteArray& frame : take_frames(RX_buf, s)) {
            if (!is_duty_report(frame)) continue;
            if (size_t(b.ours) < expected.size() && frame == expected[size_t(b.ours)])
                ++b.ours_in_order;
            ++b.ours;
        }
        if (const std::optional<QByteArray> frame = first_frame.on_notification(s);
            frame && is_duty_report(*frame))
            ++b.first_frame;
        if (received >= stream.size()) loop.quit();
    });

    const Clock::time_point begin = Clock::now();
    std::thread device([&] {
        qsizetype written = 0;
        for (const QByteArray& chunk : chunks) {
            written += chunk.size();
            // A chunk goes out when its last byte would have arrived on the line.
            if (paced)
                std::this_thread::sleep_until(begin + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double, std::milli>(
                                                              double(written) * byte_time_ms)));
            line.write(chunk);
        }
    });
    b.complete = run_until_quit(loop, int(double(stream.size()) * byte_time_ms) + 10000);
    device.join();
    reader.setPortOpen(false);
    return b;
}

QString percent(int part, int whole) {
    return num(100.0 * part / whole, 1) + QStringLiteral(" %");
}

Row burst_row(const QString& how, const Burst& b) {
    const bool pass = b.complete && b.ours == burst_reports && b.ours_in_order == burst_reports;
    QString measured =
        QStringLiteral("panel %1 (%2/%3), first-frame routine %4 (%5/%3); %6 notifications")
            .arg(percent(b.ours, burst_reports))
            .arg(b.ours)
            .arg(burst_reports)
            .arg(percent(b.first_frame, burst_reports))
            .arg(b.first_frame)
            .arg(b.notifications);
    if (!b.complete) measured += QStringLiteral("; not every byte arrived");
    return {QStringLiteral("Burst %1: %2 duty reports in random 1–16-byte chunks, share applied")
                .arg(how)
                .arg(burst_reports),
            measured, QStringLiteral("panel 100 %"), pass};
}

QString burst_note(const Burst& paced, const Burst& unpaced) {
    return QStringLiteral(
               "Bursts: the first-frame routine looks only at the bytes of one notification and "
               "hands on at most one frame, and only when those bytes begin with the start of a "
               "report. Paced, the %1 reports arrived in %2 notifications; unpaced in %3, so it "
               "could apply at most that many. The panel's framing keeps unfinished bytes for the "
               "next notification and cuts every frame: it applied %4 and %5 reports, of which %6 "
               "and %7 carried the value sent at that place, in order.")
        .arg(burst_reports)
        .arg(paced.notifications)
        .arg(unpaced.notifications)
        .arg(paced.ours)
        .arg(unpaced.ours)
        .arg(paced.ours_in_order)
        .arg(unpaced.ours_in_order);
}

} // namespace

Results burst_results(const QString& dir, Pty& line, qint16 port) {
    std::fprintf(stderr, "bursts...\n");
    std::mt19937 rng(20240601);
    const Burst paced = run_burst(dir, line, port, true, rng);
    const Burst unpaced = run_burst(dir, line, port, false, rng);
    Results r;
    r.complete = paced.complete && unpaced.complete;
    r.rows.push_back(burst_row(QStringLiteral("paced at 9600 baud"), paced));
    r.rows.push_back(burst_row(QStringLiteral("unpaced"), unpaced));
    r.notes.append(burst_note(paced, unpaced));
    return r;
}
