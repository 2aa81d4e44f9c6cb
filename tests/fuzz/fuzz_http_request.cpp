// One connection's bytes, cut where the input says, through the request reader.
// A request's body is the bytes after its head, as long as its Content-Length
// and within the body limit; after a refusal everything is refused; while the
// reader waits for more it holds at most a head and a body. A request's first
// parameter is found under its name.
#include "alpaca/http_request.h"
#include "alpaca/parameters.h"
#include "fuzz/check.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
    HttpRequestReader reader;
    bool refused = false;
    qsizetype taken = 0; // the input up to the end of the last request returned
    for (qsizetype fed = 0; fed < input.size();) {
        const int cut = quint8(input[fed]); // the piece's first byte sets its length
        const qsizetype piece = std::min<qsizetype>(1 + cut * cut / 64, input.size() - fed);
        reader.feed(input.sliced(fed, piece));
        fed += piece;
        for (;;) {
            const auto next = reader.next();
            if (refused || std::holds_alternative<HttpRefusal>(next)) {
                check(std::holds_alternative<HttpRefusal>(next) && !reader.holds_bytes());
                refused = true;
                break;
            }
            QByteArrayView rest = input.sliced(taken, fed - taken);
            while (rest.startsWith("\r\n"))
                rest = rest.sliced(2);
            if (std::holds_alternative<std::monostate>(next)) {
                check(reader.holds_bytes() == !rest.isEmpty() &&
                      rest.size() <= HttpRequestReader::head_limit + HttpRequestReader::body_limit);
                break;
            }
            const HttpRequest& request = std::get<HttpRequest>(next);
            const qsizetype body_at = rest.indexOf("\r\n\r\n") + 4;
            check(body_at >= 4 && request.body.size() <= HttpRequestReader::body_limit &&
                  request.body.size() == request.header("content-length").toLongLong() &&
                  rest.sliced(body_at).startsWith(request.body));
            taken = rest.data() - input.data() + body_at + request.body.size();
            const auto items = decode_form(request.method == "PUT" ? request.body : request.query);
            if (!items.isEmpty())
                check(Parameters::of(request).value(items[0].first) == items[0].second);
        }
    }
    return 0;
}
