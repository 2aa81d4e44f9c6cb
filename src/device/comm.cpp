#include "comm.h"

#include "framing.h"
#include "line_log.h"
#include "report_number.h"
#include "shared/start.h"

namespace {

// Spaces only, as the inverter pads with them; other characters are kept.
QString trim_spaces(const QString& s) {
    qsizetype first = 0;
    qsizetype last = s.size();
    while (first < last && s[first] == u' ')
        ++first;
    while (last > first && s[last - 1] == u' ')
        --last;
    return s.mid(first, last - first);
}

// Applies a numeric report: the code rounded into `code`, the read-out shows
// the exact number times `scale` with its unit.
QString numeric_caption(const QString& f, int scale, const char* unit, qint16& code) {
    const int tenths = field_tenths(QStringView(f).mid(3, 2));
    code = round_half_even(tenths);
    return tenths_text(tenths * scale) + QLatin1String(unit);
}

} // namespace

COMM::COMM(PanelView& panel_, Toolkit& toolkit_, const QString& program_dir, QObject* parent)
    : QObject(parent), MSComm1(program_dir), panel(panel_), toolkit(toolkit_),
      sound_file(program_dir + QStringLiteral("/se-033.mp3")) {
    connect(&MSComm1, &MSComm::OnComm, this, &COMM::MSComm1_OnComm);
    connect(&MSComm1, &MSComm::LineLost, this, &COMM::line_lost);
}

void COMM::COMM1open() {
    if (!MSComm1.PortOpen()) {
        // Bytes of an earlier line must not join those of the new one.
        RX_buf.clear();
        MSComm1.setPortOpen(true);
    }
    if (!MSComm1.PortOpen()) {
        toolkit.MsgBox(QStringLiteral("現在COMに使用できるポートがありません。"),
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
    // Nothing controls the inverter from here any more: show the panel as it
    // starts, offline, rather than a PC control that no longer holds.
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
    const QString f = trim_spaces(dat);
    const QString key = f.left(3);
    const QString flag = f.mid(3, 1);
    if (key == u"CAS") {
        if (flag == u"0") {
            toolkit.PlaySound(sound_file);
            panel.setShape3BackColor(colour_menu);
        } else {
            panel.setShape3BackColor(colour_red);
        }
    } else if (key == u"ELC") {
        const bool pc = flag == u"1";
        panel.setShape1BackColor(0, pc ? colour_orange : colour_window);
        panel.setShape1BackColor(1, pc ? colour_window : colour_orange);
        panel.View_init(pc ? 2 : 1);
    } else if (key == u"ELM") {
        const bool voltage = flag == u"0";
        panel.setShape4BackColor(0, voltage ? colour_orange : colour_window);
        panel.setShape4BackColor(1, voltage ? colour_window : colour_orange);
    } else if (key == u"EDU") {
        panel.setLabel1Caption(0, numeric_caption(f, 2, "%", start::cur_duty));
    } else if (key == u"EFQ") {
        panel.setLabel1Caption(1, numeric_caption(f, 10, "Hz", start::cur_freq));
    } else if (key == u"fqs") {
        toolkit.Beep();
    }
}
