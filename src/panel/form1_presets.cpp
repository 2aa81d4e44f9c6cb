// The preset rows: start-up read, recall and store of the preset table kept
// in el_dat.txt.
#include "form1.h"
#include "protocol/code_text.h"
#include "protocol/numbers.h"
#include "protocol/wire.h"
#include "shared/start.h"
#include "store/preset_file.h"

#include <limits>

namespace {

// A display product in 16-bit arithmetic; nothing when it does not fit.
std::optional<int> product16(qint16 code, int factor) {
    const int value = code * factor;
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return value;
}

void set_clamped(SliderControl* slider, qint16 code) {
    slider->setValue(std::clamp(int(code), slider->minimum(), slider->maximum()));
}

} // namespace

QString Form1::preset_file() const {
    return program_dir + QStringLiteral("/el_dat.txt");
}

void Form1::mark_row(qint16 m) {
    for (int r = 0; r < preset_rows; ++r) {
        Text1[r]->setBackColor(colour_window);
        Text2[r]->setBackColor(colour_window);
    }
    Text1.at(m)->setBackColor(colour_yellow);
    Text2.at(m)->setBackColor(colour_yellow);
}

Form1::TableRead Form1::read_table() {
    const std::optional<QByteArray> content = read_preset_file(preset_file());
    if (!content) return TableRead::NoFile;
    PresetNumbers numbers{};
    const int read = read_preset_numbers(*content, numbers);
    for (int i = 0; i < read; ++i)
        (i % 2 == 0 ? start::pre_duty : start::pre_freq)[i / 2] = numbers[i];
    return read == preset_numbers ? TableRead::Whole : TableRead::Partial;
}

bool Form1::show_table() {
    for (int r = 0; r < preset_rows; ++r) {
        const std::optional<int> percent =
            product16(start::pre_duty[r], inverter::percent_per_duty_code);
        if (!percent) return false;
        Text2[r]->setText(preset_text(*percent));
        const std::optional<int> hertz =
            product16(start::pre_freq[r], inverter::hertz_per_frequency_code);
        if (!hertz) return false;
        Text1[r]->setText(preset_text(*hertz));
    }
    return true;
}

void Form1::Load_Init() {
    mark_row(0);
    // A missing or short file still shows what could be read; the rest stays zero.
    read_table();
    show_table();
}

void Form1::load_Data(qint16 no) {
    mark_row(no);
    if (read_table() != TableRead::Whole) return;
    if (!show_table()) return;
    comm.MODE_Com(QLatin1String(wire::duty) + two_digit_code_text(start::pre_duty[no]));
    Wait(500);
    // The row is read again after the pause: a store during it may have changed it.
    set_clamped(Slider1[0], start::pre_duty[no]);
    comm.MODE_Com(QLatin1String(wire::frequency) + two_digit_code_text(start::pre_freq[no]));
    set_clamped(Slider1[1], start::pre_freq[no]);
}

void Form1::Save_Data(qint16 no) {
    mark_row(no);
    start::pre_duty[no] = start::cur_duty;
    start::pre_freq[no] = start::cur_freq;
    PresetNumbers numbers{};
    for (int r = 0; r < preset_rows; ++r) {
        numbers[2 * r] = start::pre_duty[r];
        numbers[2 * r + 1] = start::pre_freq[r];
    }
    if (!write_preset_file(preset_file(), numbers)) {
        toolkit.MsgBox(QStringLiteral("プリセットを保存できませんでした。"),
                       Toolkit::vbOKOnly + Toolkit::vbExclamation, QStringLiteral("保存エラー"));
        return;
    }
    show_table();
}

void Form1::Command5_Click(qint16 Index) {
    load_Data(Index);
}

void Form1::Command6_Click(qint16 Index) {
    Save_Data(Index);
}
