// The port file reader on arbitrary bytes: it names a port from 1 to 15 or
// nothing, and the file written for a port reads back as that port.
#include "store/port_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto content = QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<qint16> port = port_in_file_content(content);
    if (!port) return 0;
    if (*port < 1 || *port > 15) std::abort();
    if (port_in_file_content(port_file_content(QString::number(*port))) != port) std::abort();
    return 0;
}
