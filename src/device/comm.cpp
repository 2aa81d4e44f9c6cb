#include "comm.h"

#include "device_access.h"
#include "line_log.h"
#include "protocol/framing.h"
#include "protocol/numbers.h"
#include "protocol/report.h"
#include "protocol/report_number.h"
#include "protocol/wire.h"
#include "shared/start.h"

namespace {

// The message when no port could be opened; for a device the system refuses
// to this user, what the operator can do about it.
QString no_port_message(const QString& device) {
    QString message = QStringLiteral("現在COMに使用できるポートがありません。");
    if (!device_access::refused(device.toStdString())) return message;
    const QString group = QString::fromStdString(device_access::group(device.toStdString()));
    message += QStringLiteral("\n\n%1 を使う権限がありません。").arg(device);
    if (group.isEmpty()) return message + QStringLiteral("管理者に使用の許可を求めてください。");
    return message + QStringLiteral("グループ %1 に参加し、ログインし直してください：\n"
                                    "sudo adduser %2 %1")
                         .arg(group, QString::fromStdString(device_access::user()));
}

// Applies a numeric report: the code rounded into `code`, the read-out shows
// the exact number times `scale` with its unit.
QString numeric_caption(const Report& report, int scale, const char* unit,
                        std::optional<qint16>& code) {
    code = round_half_even(report.tenths);
    return tenths_text(report.tenths * scale) + QLatin1String(unit);
}

} // namespace

COMM::COMM(PanelView& panel_, Toolkit& toolkit_, const QString& program_dir,
           const QString& settings_dir, QObject* parent)
    : QObject(parent), MSComm1(settings_dir), panel(panel_), toolkit(toolkit_),
      sound_file(program_dir + QStringLiteral("/se-033.mp3")) {
    connect(&MSComm1, &MSComm::OnComm, this, &COMM::MSComm1_OnComm);
    connect(&MSComm1, &MSComm::LineLost, this, &COMM::line_lost);
}

void COMM::COMM1open() {
    if (!MSComm1.PortOpen()) {
        // Bytes of an earlier line must not join those of the new one, nor its
        // reports stand for what the inverter runs now.
        RX_buf.clear();
        start::cur_duty.reset();
        start::cur_freq.reset();
        MSComm1.setPortOpen(true);
    }
    if (!MSComm1.PortOpen()) {
        toolkit.MsgBox(no_port_message(MSComm1.PortDevice()),
                       Toolkit::vbOKCancel + Toolkit::vbExclamation, QStringLiteral("通信エラー"));
    }
}

void COMM::COMM1close() {
    if (MSComm1.PortOpen()) MSComm1.setPortOpen(false);
}

void COMM::MODE_Com(const QString& dat) {
    const QString command = trim_spaces(dat);
    if (MSComm1.PortOpen()) MSComm1.Output(command);
}

void COMM::line_lost() {
    // With the line gone nothing here controls the inverter: show the panel as
    // it starts, offline, rather than a PC control it does not hold.
    panel.setShape1BackColor(0, colour_lamp_start);
    panel.setShape1BackColor(1, colour_lamp_start);
    panel.View_init(0);
}

void COMM::MSComm1_OnComm() {
    if (MSComm1.CommEvent() != MSComm::comEvReceive) return;
    // The framing never runs the event loop, so no notification can re-enter
    // RX_buf while it is being cut.
    const QList<QByteArray> frames = take_frames(RX_buf, MSComm1.Input());
    for (const QByteArray& frame : frames) {
        LINE_LOG << "<- " << frame;
        RX_data(QString::fromLatin1(frame));
    }
}

void COMM::RX_data(const QString& dat) {
    const Report report = read_report(dat);
    switch (report.kind) {
    case ReportKind::shutter:
        if (report.flag == QLatin1Char(wire::flag_released)) {
            toolkit.PlaySound(sound_file);
            panel.setShape3BackColor(colour_menu);
        } else {
            panel.setShape3BackColor(colour_red);
        }
        break;
    case ReportKind::control: {
        const bool pc = report.flag == QLatin1Char(wire::flag_pc);
        panel.setShape1BackColor(0, pc ? colour_orange : colour_window);
        panel.setShape1BackColor(1, pc ? colour_window : colour_orange);
        panel.View_init(pc ? 2 : 1);
        break;
    }
    case ReportKind::mode: {
        const bool voltage = report.flag == QLatin1Char(wire::flag_voltage);
        panel.setShape4BackColor(0, voltage ? colour_orange : colour_window);
        panel.setShape4BackColor(1, voltage ? colour_window : colour_orange);
        break;
    }
    case ReportKind::duty:
        panel.setLabel1Caption(
            0, numeric_caption(report, inverter::percent_per_duty_code, "%", start::cur_duty));
        break;
    case ReportKind::frequency:
        panel.setLabel1Caption(
            1, numeric_caption(report, inverter::hertz_per_frequency_code, "Hz", start::cur_freq));
        break;
    case ReportKind::beep:
        toolkit.Beep();
        break;
    case ReportKind::other:
        break;
    }
}
