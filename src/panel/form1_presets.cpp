// The preset rows: start-up read, recall and store of the preset table kept
// in el_dat.txt.
#include "form1.h"
#include "protocol/code_text.h"
#include "protocol/numbers.h"
#include "protocol/wire.h"
#include "shared/start.h"
#include "store/preset_file.h"

#include <QDir>
#include <limits>
#include <utility>

namespace {

// A display product in 16-bit arithmetic; nothing when it does not fit.
std::optional<int> product16(qint16 code, int factor) {
    const int value = code * factor;
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return value;
}

// Entry i of the table in the file's order: the duty, then the frequency, of each row.
void set_entry(int i, qint16 code) {
    (i % 2 == 0 ? start::pre_duty : start::pre_freq)[i / 2] = code;
}

// A field of a preset row as the inverter takes it and the operator reads it.
struct PresetField {
    const char* command; // followed by the code's two-digit text
    bool (*takes)(int code);
    const char* name;
    int scale;
    const char* unit;
};

const PresetField duty_field{wire::duty, inverter::is_duty_code, "デューティ",
                             inverter::percent_per_duty_code, "%"};
const PresetField frequency_field{wire::frequency, inverter::is_frequency_code, "周波数",
                                  inverter::hertz_per_frequency_code, "Hz"};

// Sends a preset's code to the inverter unless it is none the inverter takes;
// such a one is named in `not_sent` instead.
void send_code(COMM& comm, const PresetField& field, qint16 code, QStringList& not_sent) {
    if (field.takes(code))
        comm.MODE_Com(QLatin1String(field.command) + two_digit_code_text(code));
    else
        not_sent << QStringLiteral("%1 %2%3").arg(QString::fromUtf8(field.name),
                                                  QString::number(code * field.scale),
                                                  QLatin1String(field.unit));
}

// A slider shows only a code that was sent.
void show_code(SliderControl* slider, const PresetField& field, qint16 code) {
    if (field.takes(code)) slider->setValue(code);
}

// A preset's notice to the operator: what it did not store or send, and why.
void tell(Toolkit& toolkit, const QString& message) {
    toolkit.MsgBox(message, Toolkit::vbOKOnly + Toolkit::vbExclamation,
                   QStringLiteral("プリセット"));
}

} // namespace

QString Form1::preset_file() const {
    return settings_dir + QStringLiteral("/el_dat.txt");
}

void Form1::mark_row(qint16 m) {
    for (int r = 0; r < preset_rows; ++r) {
        Text1[r]->setBackColor(colour_window);
        Text2[r]->setBackColor(colour_window);
    }
    Text1.at(m)->setBackColor(colour_yellow);
    Text2.at(m)->setBackColor(colour_yellow);
}

std::optional<PresetFields> Form1::read_fields() {
    const std::optional<QByteArray> content = read_preset_file(preset_file());
    if (!content) return std::nullopt;
    const PresetFields fields = read_preset_fields(*content);
    if (leading_numbers(fields) < preset_numbers) keep_old_presets = true;
    return fields;
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
    // Each field is read on its own: one that cannot be read is 0 and moves no
    // other. The operator hears of it, and the file is kept before a store.
    if (const std::optional<PresetFields> fields = read_fields()) {
        for (int i = 0; i < preset_numbers; ++i)
            set_entry(i, (*fields)[i].value_or(0));
        if (leading_numbers(*fields) < preset_numbers)
            toolkit.MsgBox(
                QStringLiteral("プリセットファイル %1 に読めない値がありました。読めなかっ"
                               "た値は 0 にしてあります。次に保存するとき、元のファイル"
                               "を %1.bak として残します。")
                    .arg(QDir::toNativeSeparators(preset_file())),
                Toolkit::vbOKOnly + Toolkit::vbExclamation, QStringLiteral("読込エラー"));
    }
    show_table();
}

void Form1::load_Data(qint16 no) {
    mark_row(no);
    const std::optional<PresetFields> fields = read_fields();
    if (!fields) return;
    // Read up to the first field that cannot be; then the recall ends there.
    const int read = leading_numbers(*fields);
    for (int i = 0; i < read; ++i)
        set_entry(i, *(*fields)[i]);
    if (read < preset_numbers || !show_table()) return;
    QStringList not_sent;
    send_code(comm, duty_field, start::pre_duty[no], not_sent);
    Wait(500);
    // The row is read again after the pause: a store during it may have changed it.
    show_code(Slider1[0], duty_field, start::pre_duty[no]);
    send_code(comm, frequency_field, start::pre_freq[no], not_sent);
    show_code(Slider1[1], frequency_field, start::pre_freq[no]);
    if (!not_sent.isEmpty())
        tell(toolkit,
             QStringLiteral("プリセット %1 の%2 はインバータの範囲外なので、送りませんでした。")
                 .arg(QString::number(no + 1), not_sent.join(QStringLiteral(" と"))));
}

void Form1::Save_Data(qint16 no) {
    mark_row(no);
    // Only what the inverter has reported: a field it has not keeps the row's value.
    QStringList unreported;
    if (!start::cur_duty) unreported << QString::fromUtf8(duty_field.name);
    if (!start::cur_freq) unreported << QString::fromUtf8(frequency_field.name);
    const qint16 old_duty =
        std::exchange(start::pre_duty[no], start::cur_duty.value_or(start::pre_duty[no]));
    const qint16 old_freq =
        std::exchange(start::pre_freq[no], start::cur_freq.value_or(start::pre_freq[no]));
    PresetNumbers numbers{};
    for (int r = 0; r < preset_rows; ++r) {
        numbers[2 * r] = start::pre_duty[r];
        numbers[2 * r + 1] = start::pre_freq[r];
    }
    const bool kept = !keep_old_presets || back_up_preset_file(preset_file());
    if (!kept || !write_preset_file(preset_file(), numbers)) {
        // Not stored, so not kept either: a later store must not write it unannounced.
        start::pre_duty[no] = old_duty;
        start::pre_freq[no] = old_freq;
        toolkit.MsgBox(QStringLiteral("プリセットを保存できませんでした。"),
                       Toolkit::vbOKOnly + Toolkit::vbExclamation, QStringLiteral("保存エラー"));
        return;
    }
    keep_old_presets = false;
    show_table();
    if (!unreported.isEmpty())
        tell(toolkit,
             QStringLiteral("インバータから%1の報告がまだないので、プリセット %2 の%1は元の値の"
                            "ままにしました。")
                 .arg(unreported.join(QStringLiteral("と")), QString::number(no + 1)));
}

void Form1::Command5_Click(qint16 Index) {
    load_Data(Index);
}

void Form1::Command6_Click(qint16 Index) {
    Save_Data(Index);
}
