// The two settings-file readers on arbitrary bytes. The port file names a port
// from 1 to 15 or nothing, and the file written for a port reads back as that
// port. The preset table read (unreadable fields as 0) is written back, and the
// written file reads again, whole, to the same table.
#include "fuzz/check.h"
#include "store/port_file.h"
#include "store/preset_file.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto content = QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<qint16> port = port_in_file_content(content)) {
        check(*port >= 1 && *port <= 15);
        check(port_in_file_content(port_file_content(QString::number(*port))) == port);
    }
    const PresetFields fields = read_preset_fields(content);
    PresetNumbers numbers{};
    for (int i = 0; i < preset_numbers; ++i)
        numbers[i] = fields[i].value_or(0);
    const QByteArray written = preset_file_content(numbers);
    const PresetFields again = read_preset_fields(written);
    check(leading_numbers(again) == preset_numbers);
    for (int i = 0; i < preset_numbers; ++i)
        check(again[i] == numbers[i]);
    return 0;
}
