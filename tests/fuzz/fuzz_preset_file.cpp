// The preset file reader on arbitrary bytes: whatever it accepts it writes
// back, and the written file reads again to the same table.
#include "store/preset_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto content = QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
    PresetNumbers numbers{};
    const int read = read_preset_numbers(content, numbers);
    if (read < 0 || read > preset_numbers) std::abort();
    if (read < preset_numbers) return 0;
    const QByteArray written = preset_file_content(numbers);
    PresetNumbers again{};
    if (read_preset_numbers(written, again) != preset_numbers || again != numbers) std::abort();
    if (preset_file_content(again) != written) std::abort();
    return 0;
}
