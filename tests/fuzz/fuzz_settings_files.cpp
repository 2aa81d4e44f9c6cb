// The two settings-file readers on arbitrary bytes. The port file names a port
// from 1 to 15 or nothing, and the file written for a port reads back as that
// port. Whatever preset table is accepted is written back, and the written
// file reads again to the same table and the same bytes.
#include "store/port_file.h"
#include "store/preset_file.h"

#include <cstdint>
#include <cstdlib>

static void check(bool ok) {
    if (!ok) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto content = QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<qint16> port = port_in_file_content(content)) {
        check(*port >= 1 && *port <= 15);
        check(port_in_file_content(port_file_content(QString::number(*port))) == port);
    }
    PresetNumbers numbers{};
    const int read = read_preset_numbers(content, numbers);
    check(read >= 0 && read <= preset_numbers);
    if (read < preset_numbers) return 0;
    const QByteArray written = preset_file_content(numbers);
    PresetNumbers again{};
    check(read_preset_numbers(written, again) == preset_numbers && again == numbers);
    check(preset_file_content(again) == written);
    return 0;
}
