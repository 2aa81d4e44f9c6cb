#include "alpaca_server.h"

#include "measure.h"
#include "support/http_client.h"
#include "support/lumivaned.h"
#include "support/process_memory.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int brightness_changes = 200;
constexpr int polling_clients = 50;
constexpr int polling_seconds = 5;
constexpr int idle_seconds = 10;
constexpr int hoarding_seconds = 5;
const QByteArray device = "/api/v1/covercalibrator/0/";
constexpr int calibrator_ready = 3; // Alpaca's CalibratorStatus Ready

// Connects the server to the inverter, answering its handshake as the inverter would.
QString connect_inverter(Lumivaned& server, QTcpSocket& client) {
    client.write(http_request("PUT", device + "connected", "Connected=true"));
    client.flush();
    if (server.inverter.read(3, 5000) != ":O#") return QStringLiteral("no handshake");
    server.inverter.write(":ELC1#");
    const HttpReply reply = read_reply(client, 5000);
    const QJsonObject answer = QJsonDocument::fromJson(reply.body).object();
    if (reply.status != 200 || answer.value(u"ErrorNumber").toInt(-1) != 0)
        return QStringLiteral("the connection was refused");
    // The light, sent off at connecting, confirmed.
    const QByteArray light = server.inverter.read(4, 5000);
    if (light != ":D00") return QStringLiteral("no light sent: ") + light;
    server.inverter.write(":EDU00#");
    return {};
}

// The calibrator's state, asked for until it is `wanted` or the time is up.
bool state_reaches(QTcpSocket& client, int wanted) {
    const QDeadlineTimer deadline(5000);
    const QByteArray request = http_request("GET", device + "calibratorstate");
    while (!deadline.hasExpired()) {
        const HttpReply reply = exchange(client, request);
        if (QJsonDocument::fromJson(reply.body).object().value(u"Value").toInt() == wanted)
            return true;
    }
    return false;
}

// From writing each brightness request to its command read on the line; the
// inverter echoes each, the server answers then, and the next request waits
// until the server shows the light ready at the new brightness.
std::vector<double> command_latency(Lumivaned& server, QTcpSocket& client, QString& error) {
    std::vector<double> ms;
    for (int i = 0; i < brightness_changes && error.isEmpty(); ++i) {
        const QByteArray code = QByteArray::number(10 + i % 2);
        const QByteArray request =
            http_request("PUT", device + "calibratoron", "Brightness=" + code);
        const Clock::time_point start = Clock::now();
        client.write(request);
        client.flush();
        const QByteArray sent = server.inverter.read(4, 5000);
        const Clock::time_point arrived = Clock::now();
        if (sent != ":D" + code) {
            error = QStringLiteral("unexpected command %1").arg(QString::fromLatin1(sent));
            break;
        }
        ms.push_back(ms_between(start, arrived));
        server.inverter.write(":EDU" + code + '#');
        if (read_reply(client, 5000).status != 200) error = QStringLiteral("no answer");
        if (error.isEmpty() && !state_reaches(client, calibrator_ready))
            error = QStringLiteral("no echo taken");
    }
    return ms;
}

// The size of the first whole answer at the start of `data`, 0 while it is incomplete.
qsizetype whole_answer(QByteArrayView data) {
    const qsizetype head = data.indexOf("\r\n\r\n");
    if (head < 0) return 0;
    const QByteArrayView field = "\r\nContent-Length: ";
    const qsizetype found = data.first(head).indexOf(field);
    const qsizetype at = found + field.size();
    const qint64 body = found < 0 ? 0 : data.sliced(at, data.indexOf('\r', at) - at).toLongLong();
    const qint64 size = head + 4 + body;
    return data.size() >= size ? qsizetype(size) : 0;
}

int connected_socket(quint16 port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    close(fd);
    return -1;
}

struct Polling {
    std::vector<double> ms; // each answer within the time, from writing its request
    QString error;
};

// The clients in one poll(2) loop over plain sockets, so that they cost the
// processors little: each writes its next request when its answer has come.
Polling poll_device_state(quint16 port) {
    Polling r;
    const QByteArray request = http_request("GET", device + "devicestate");
    std::vector<pollfd> clients;
    for (int i = 0; i < polling_clients; ++i)
        clients.push_back({connected_socket(port), POLLIN, 0});
    std::vector<QByteArray> received(clients.size());
    std::vector<Clock::time_point> sent(clients.size());
    const auto send_request = [&](size_t i) {
        sent[i] = Clock::now();
        if (send(clients[i].fd, request.data(), size_t(request.size()), MSG_NOSIGNAL) !=
            request.size())
            r.error = QStringLiteral("a request could not be written");
    };
    for (size_t i = 0; i < clients.size(); ++i)
        send_request(i);
    const Clock::time_point end = Clock::now() + std::chrono::seconds(polling_seconds);
    for (Clock::time_point now = Clock::now(); now < end && r.error.isEmpty(); now = Clock::now()) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(end - now);
        if (poll(clients.data(), clients.size(), int(wait.count())) < 0)
            r.error = QStringLiteral("poll failed");
        for (size_t i = 0; i < clients.size() && r.error.isEmpty(); ++i) {
            if (clients[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = recv(clients[i].fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                r.error = QStringLiteral("the server closed a connection");
                break;
            }
            received[i].append(buffer, n);
            const qsizetype size = whole_answer(received[i]);
            if (size == 0) continue;
            const Clock::time_point answered = Clock::now();
            if (!received[i].startsWith("HTTP/1.1 200 "))
                r.error = QStringLiteral("an answer was not 200 OK");
            if (answered < end) r.ms.push_back(ms_between(sent[i], answered));
            received[i].remove(0, size);
            send_request(i);
        }
    }
    for (const pollfd& c : clients)
        close(c.fd);
    return r;
}

struct Hoarding {
    double before_mib = 0; // resident before
    double peak_mib = 0;   // resident at its peak meanwhile
    std::vector<double> other_ms;
    QString error;
};

// `clients` connections that pipeline GET /setup for hoarding_seconds and never
// read an answer; meanwhile another client asks for the API versions, each
// time on a new connection. lumivaned's peak is reset first (clear_refs 5).
Hoarding hoard(Lumivaned& server, int clients) {
    Hoarding r;
    const qint64 pid = server.process.processId();
    r.before_mib = memory_mib(pid, "VmRSS");
    QFile peak(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    if (!peak.open(QIODevice::WriteOnly) || peak.write("5") != 1)
        r.error = QStringLiteral("the peak cannot be reset: ") + peak.errorString();
    peak.close();
    std::vector<std::unique_ptr<HttpConnection>> hoarders;
    for (int i = 0; i < clients; ++i)
        hoarders.push_back(std::make_unique<HttpConnection>(server.http_port()));
    const QByteArray page = http_request("GET", "/setup");
    const QByteArray versions = http_request("GET", "/management/apiversions");
    for (const QDeadlineTimer end(hoarding_seconds * 1000);
         !end.hasExpired() && r.error.isEmpty();) {
        for (const auto& hoarder : hoarders)
            pipeline_unread(*hoarder, page, std::chrono::milliseconds(100 / clients + 1));
        const Clock::time_point start = Clock::now();
        HttpConnection other(server.http_port());
        if (exchange(other, versions, 5000).status != 200)
            r.error = QStringLiteral("another client was not served");
        r.other_ms.push_back(ms_between(start, Clock::now()));
    }
    r.peak_mib = memory_mib(pid, "VmHWM");
    return r;
}

} // namespace

Results alpaca_results(const QString& program) {
    std::fprintf(stderr, "lumivaned...\n");
    Lumivaned server(program);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.http_port());
    QString error = client.waitForConnected(5000) ? connect_inverter(server, client)
                                                  : QStringLiteral("no HTTP server");
    const std::vector<double> command_ms =
        error.isEmpty() ? command_latency(server, client, error) : std::vector<double>();
    // Closed, and the server's side with it, so that it is left with nothing to do.
    shutdown(int(client.socketDescriptor()), SHUT_WR);
    client.waitForDisconnected(5000);

    const qint64 pid = server.process.processId();
    const double cpu_before = threads_cpu_ms(pid);
    QThread::sleep(idle_seconds);
    const double idle_cpu_ms = threads_cpu_ms(pid) - cpu_before;

    const double server_before = threads_cpu_ms(pid), clients_before = process_cpu_ms();
    const Polling polling = error.isEmpty() ? poll_device_state(server.http_port()) : Polling();
    const double server_cpu_ms = threads_cpu_ms(pid) - server_before;
    const double clients_cpu_ms = process_cpu_ms() - clients_before;
    if (error.isEmpty()) error = polling.error;
    const double per_second = double(polling.ms.size()) / polling_seconds;
    // One client, then as many as may be connected besides the one asking.
    const Hoarding one = error.isEmpty() ? hoard(server, 1) : Hoarding();
    if (error.isEmpty()) error = one.error;
    const Hoarding many = error.isEmpty() ? hoard(server, 63) : Hoarding();
    if (error.isEmpty()) error = many.error;

    Results r;
    r.complete = error.isEmpty();
    const auto measured = [&](const QString& figures) {
        return r.complete ? figures : QStringLiteral("failed: %1").arg(error);
    };
    r.rows.push_back(
        {QStringLiteral("Alpaca: PUT calibratoron written to the command on the line"),
         measured(ms_spread(command_ms) + QStringLiteral(" (%1 requests)").arg(command_ms.size())),
         QStringLiteral("p99 ≤ 5 ms"), r.complete && percentile(command_ms, 99) <= 5});
    r.rows.push_back(
        {QStringLiteral("Alpaca: %1 clients polling devicestate for %2 s, each on its own "
                        "keep-alive connection")
             .arg(polling_clients)
             .arg(polling_seconds),
         measured(QStringLiteral("%1 requests/s; answer time ").arg(num(per_second, 0)) +
                  ms_spread(polling.ms)),
         QStringLiteral("≥ 5000 requests/s, p99 ≤ 25 ms"),
         r.complete && per_second >= 5000 && percentile(polling.ms, 99) <= 25});
    r.rows.push_back({QStringLiteral("Alpaca: idle %1 s, connected to the inverter, no traffic")
                          .arg(idle_seconds),
                      measured(QStringLiteral("CPU %1 ms (time on a processor, all threads)")
                                   .arg(num(idle_cpu_ms, 2))),
                      QStringLiteral("CPU < 10 ms"), r.complete && idle_cpu_ms < 10});
    for (const auto& [h, who] : {std::pair(&one, "a client"), std::pair(&many, "63 clients")})
        r.rows.push_back(
            {QStringLiteral("Alpaca: %1 pipelining GET /setup for %2 s and never reading, another "
                            "client asking meanwhile")
                 .arg(QLatin1String(who))
                 .arg(hoarding_seconds),
             measured(QStringLiteral("peak resident memory %1 MiB (%2 MiB before); the other "
                                     "client's answer time ")
                          .arg(num(h->peak_mib, 1), num(h->before_mib, 1)) +
                      ms_spread(h->other_ms)),
             QStringLiteral("peak < 64 MiB, other client ≤ 1 s"),
             r.complete && h->peak_mib < 64 && maximum(h->other_ms) <= 1000});
    r.notes << QStringLiteral("Alpaca: the %1 polling clients run in one thread of the benchmark, "
                              "on the same processors as lumivaned (see the machine above), so "
                              "they compete with it for them: during the %2 s of polling "
                              "lumivaned used %3 ms of processor time and the clients %4 ms.")
                   .arg(polling_clients)
                   .arg(polling_seconds)
                   .arg(num(server_cpu_ms, 0), num(clients_cpu_ms, 0));
    return r;
}
