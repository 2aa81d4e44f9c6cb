// lumivaned over real HTTP on loopback, with a pseudo-terminal as the
// inverter: every member and error of the device and management APIs with the
// exact bytes on the line, the limits of the HTTP server, discovery, and a
// restart. (The end on SIGTERM is the package test's, through the service.)
#include "support/http_client.h"
#include "support/lumivaned.h"
#include "support/process_memory.h"
#include "support/table.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <QUrl>

using namespace std::chrono_literals;

namespace {

const QByteArray device = "/api/v1/covercalibrator/0/";
const QByteArray setup = "/setup/v1/covercalibrator/0/";

// The JSON value at a path such as "Value/1/Value".
QJsonValue at(QJsonValue v, const QString& path) {
    for (const QString& step : path.split(u'/')) {
        bool index = false;
        const int i = step.toInt(&index);
        v = index ? v.toArray().at(i) : v.toObject().value(step);
    }
    return v;
}

// The JSON object that answers GET target.
QJsonObject get(QTcpSocket& socket, const QByteArray& target) {
    return QJsonDocument::fromJson(exchange(socket, http_request("GET", target)).body).object();
}

} // namespace

class AlpacaTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(client.waitForConnected()); }

    // One keep-alive connection, the rows in order: each sends its request (if
    // any), reads the exact bytes on the line, has the inverter answer, and
    // checks the answer. "~" retries the request until the answer matches.
    void members_data() {
        // The request, "GET target" or "PUT target body"; the line, what the server
        // sends the inverter; the reply, what the inverter answers; what is expected,
        // the status, then path=JSON pairs. Each row is named after its request.
        const Table<QString, QByteArray, QByteArray, QString> table("request", "line", "reply",
                                                                    "expect");
        const auto row = [&](const char* request, const char* line, const char* reply,
                             const char* expect) { table(request, request, line, reply, expect); };
        row("GET /management/apiversions", "", "", "200 Value=[1]");
        row("GET /management/v1/configureddevices", "", "",
            "200 Value/0/DeviceType=\"CoverCalibrator\" Value/0/DeviceNumber=0");
        row("GET /management/v1/description", "", "", "200 Value/ServerName=\"Lumivane\"");
        row("GET interfaceversion?clienttransactionid=5&CLIENTID=3", "", "",
            "200 Value=2 ClientTransactionID=5 ErrorNumber=0 ErrorMessage=\"\"");
        row("GET supportedactions", "", "",
            "200 Value=[\"Frequency\",\"ControlSource\",\"AdjustMode\",\"ShutterExposure\"]");
        row("GET brightness", "", "", "200 ErrorNumber=1031");
        row("PUT calibratoron Brightness=10", "", "", "200 ErrorNumber=1031");
        row("GET connected", "", "", "200 Value=false");
        row("GET /api/v1/covercalibrator/1/name", "", "", "400");
        row("GET /api/v1/camera/0/name", "", "", "400");
        row("GET /api/v1/CoverCalibrator/0/name", "", "", "400");
        row("GET nosuchmember", "", "", "400");
        row("GET name?ClientTransactionID=-1", "", "", "400");
        row("GET name?ClientID=x", "", "", "400");
        row("GET name?ClientTransactionID=99999999999", "", "", "200 ClientTransactionID=0");
        row("GET name?ClientTransactionID=5%0A", "", "", "400");
        // HEAD answers as GET without the body where GET answers, else as other methods do.
        row("HEAD name", "", "", "200");
        row("HEAD /setup/v1/covercalibrator/0/setup", "", "", "200"); // clients' Setup button
        row("HEAD calibratoron", "", "", "405");
        row("PUT connected Connected=maybe", "", "", "400");
        row("PUT connected connected=true", "", "", "400");
        // Reports sent before the inverter grants the PC control do not answer the connect.
        row("&PUT connected Connected=True&ClientTransactionID=9", ":O#", ":ELC0#:EDU30#:ELC1#",
            "200 ClientTransactionID=9 ErrorNumber=0");
        // The light is sent off, and not known until the inverter reports it.
        row("GET connected", ":D00", "", "200 Value=true");
        row("GET devicestate", "", ":EDU00#",
            "200 Value/0/Name=\"Brightness\" Value/0/Value=0 Value/1/Value=2 Value/2/Value=true");
        row("GET calibratorstate", "", "", "200 Value=1");
        row("GET maxbrightness", "", "", "200 Value=50");
        // Answered once the inverter confirms; brightness is what it runs.
        row("&PUT calibratoron Brightness=21", ":D21", ":EDU21#", "200 ErrorNumber=0");
        row("GET devicestate", "", "",
            "200 Value/0/Value=21 Value/1/Name=\"CalibratorState\" Value/1/Value=3 "
            "Value/2/Value=false Value/3/Value=0 Value/4/Value=false");
        row("PUT calibratoron Brightness=10", ":D10", "", "200 ErrorNumber=0");
        row("GET brightness", "", "", "200 Value=21");
        row("GET calibratorchanging", "", "", "200 Value=true");
        row("~GET calibratorstate", "", "", "200 Value=5");
        // A late report of a command given up is not the answer to the next one.
        row("&PUT calibratoron Brightness=20", ":D20", ":EDU10#:EDU20#", "200 ErrorNumber=0");
        row("GET calibratorstate", "", "", "200 Value=3");
        row("PUT calibratoron Brightness=15", ":D15", "", "200 ErrorNumber=0");
        row("~GET calibratorstate", "", "", "200 Value=5");
        row("", "", ":EDU15#", ""); // late, and what was asked
        row("GET devicestate", "", "", "200 Value/0/Value=15 Value/1/Value=3");
        row("PUT calibratoron Brightness=51", "", "", "200 ErrorNumber=1025");
        row("PUT calibratoron Brightness=1000000000", "", "", "200 ErrorNumber=1025");
        row("PUT calibratoron Brightness=12%0A", "", "", "400");
        row("PUT calibratoron Brightness=2.5", "", "", "400");
        row("PUT calibratoron brightness=5", "", "", "400");
        row("&PUT calibratoroff", ":D00", ":EDU00#", "200 ErrorNumber=0");
        row("GET calibratorstate?", "", "", "200 Value=1");
        row("&PUT calibratoron Brightness=0", ":D00", ":EDU00#", "200 ErrorNumber=0");
        row("GET calibratorstate?x=1", "", "", "200 Value=3");
        row("GET coverstate", "", "", "200 Value=0");
        row("GET covermoving", "", "", "200 Value=false");
        row("PUT opencover", "", "", "200 ErrorNumber=1024");
        row("&PUT action Action=Frequency&Parameters=600", ":E60", ":EFQ60#", "200 Value=\"600\"");
        row("PUT action Action=Frequency&Parameters=710", "", "", "200 ErrorNumber=1025");
        row("PUT action Action=Dim&Parameters=", "", "", "200 ErrorNumber=1036");
        row("&PUT action Action=ControlSource&Parameters=FrontPanel", ":F#", ":ELC0#:EDU30#",
            "200 Value=\"FrontPanel\"");
        row("GET brightness?ClientID=1", "", "", "200 Value=30");
        row("&PUT action Action=AdjustMode&Parameters=Frequency", ":M1#", ":ELM1#",
            "200 Value=\"Frequency\"");
        row("PUT calibratoron Brightness=5", "", "", "200 ErrorNumber=1035");
        row("&PUT action Action=shutterexposure&Parameters=0.3", ":C1#", ":CAS1#", "200");
        row("", ":C0#", ":CAS0#", "");
        row("PUT action Action=ShutterExposure&Parameters=", "", "", "200 Value=\"0\"");
        // Each client connects for itself: the line closes when the last one leaves.
        row("PUT connect ClientID=7", "", "", "200 ErrorNumber=0");
        row("PUT disconnect", "", "", "200 ErrorNumber=0");
        row("GET connected", "", "", "200 Value=false");
        row("GET connected?ClientID=7", "", "", "200 Value=true");
        row("PUT disconnect ClientID=7", ":F#", "", "200 ErrorNumber=0");
        row("GET connected?ClientID=7", "", "", "200 Value=false");
        // A connect given up hands control back, and its failure is told once.
        row("PUT connect", ":O#", "", "200 ErrorNumber=0");
        row("GET connecting", "", "", "200 Value=true");
        row("~GET connecting", ":F#", "", "200 ErrorNumber=1280");
        row("GET connecting?", "", "", "200 Value=false ErrorNumber=0");
        row("&PUT connected Connected=true", ":O#", "", "200 ErrorNumber=1280");
        row("GET connecting", ":F#", "", "200 Value=false ErrorNumber=0");
        row("PUT connect", ":O#", "", "200 ErrorNumber=0");
        row("PUT disconnect", ":F#", "", "200 ErrorNumber=0");
        row("GET connecting", "", "", "200 Value=false ErrorNumber=0");
    }

    void members() {
        QFETCH(QString, request);
        QFETCH(QString, expect);
        const bool retry = request.startsWith(u'~');
        const bool waits = request.startsWith(u'&'); // answered once the inverter is
        QStringList parts = request.mid(retry || waits ? 1 : 0).split(u' ');
        const bool head = parts[0] == u"HEAD";
        if (!request.isEmpty() && !parts[1].startsWith(u'/')) parts[1].prepend(device);
        const QStringList checks = expect.split(u' ', Qt::SkipEmptyParts);
        HttpReply answer;
        QJsonValue json;
        const auto send = [&] {
            client.write(
                http_request(parts[0].toLatin1(), parts[1].toLatin1(), parts.value(2).toLatin1()));
            client.flush();
            ++requests;
        };
        const auto matches = [&] {
            if (answer.status != checks.value(0).toInt()) return false;
            json = QJsonDocument::fromJson(answer.body).object();
            for (const QString& check : checks.mid(1)) {
                const QString want = u'[' + check.section(u'=', 1) + u']';
                if (QJsonDocument::fromJson(want.toUtf8()).array().at(0) !=
                    at(json, check.section(u'=', 0, 0)))
                    return false;
            }
            return true;
        };
        if (!request.isEmpty()) send();
        if (!request.isEmpty() && !waits) answer = read_reply(client, 3000, head);
        QFETCH(QByteArray, line);
        QCOMPARE(line.isEmpty() ? server.inverter.read_quiet(50)
                                : server.inverter.read(line.size()),
                 line);
        QFETCH(QByteArray, reply);
        if (!reply.isEmpty()) {
            server.inverter.write(reply);
            QVERIFY(server.inverter.taken());
        }
        if (request.isEmpty()) return;
        if (waits) answer = read_reply(client);
        for (const QDeadlineTimer deadline(3000); retry && !matches() && !deadline.hasExpired();) {
            send();
            answer = read_reply(client);
        }
        QVERIFY2(matches(), answer.body.constData());
        if (head) return;
        if (answer.status == 200) {
            QCOMPARE(answer.content_type, QByteArray("application/json"));
            QCOMPARE(at(json, "ServerTransactionID").toInteger(), requests);
        } else {
            QVERIFY(answer.content_type.startsWith("text/plain"));
        }
    }

    // A brightness read right after the change, as ConformU and NINA read it,
    // is the one the inverter confirmed. Two clients, one leaving as the
    // other comes: the server takes their requests in either order. A connect
    // that comes while the line drains after the last client left succeeds
    // once it has closed; the answer to ":F#" that comes after the reopen is
    // not taken for the answer to ":O#", nor is a report that waited in the
    // line while it was closed.
    void clients_at_the_edges_of_a_session() {
        HttpConnection a(server.http_port()), b(server.http_port());
        const auto put = [](QTcpSocket& socket, const char* member, const QByteArray& body) {
            socket.write(http_request("PUT", device + member, body));
            socket.flush();
        };
        const auto error = [](QTcpSocket& socket) {
            return QJsonDocument::fromJson(read_reply(socket).body)["ErrorNumber"].toInt(-1);
        };
        put(a, "connected", "Connected=true&ClientID=1");
        QCOMPARE(server.inverter.read(3), QByteArray(":O#"));
        server.inverter.write(":ELC1#");
        QCOMPARE(error(a), 0);
        put(a, "calibratoron", "Brightness=7");
        a.write(http_request("GET", device + "brightness"));
        QCOMPARE(server.inverter.read(8), QByteArray(":D00:D07"));
        server.inverter.write(":EDU00#:EDU07#");
        QCOMPARE(error(a), 0);
        QCOMPARE(QJsonDocument::fromJson(read_reply(a).body)["Value"], 7);
        int reopened = 0;
        for (int attempt = 0; attempt < 10; ++attempt) {
            QTcpSocket& on = attempt % 2 ? b : a;
            QTcpSocket& off = attempt % 2 ? a : b;
            put(on, "disconnect", attempt % 2 ? "ClientID=2" : "ClientID=1");
            put(off, "connected",
                attempt % 2 ? "Connected=true&ClientID=1" : "Connected=true&ClientID=2");
            QCOMPARE(error(on), 0);
            QByteArray line = server.inverter.read_quiet(100);
            if (line.contains(":F#")) {
                if (!line.endsWith(":O#")) line += server.inverter.read(3);
                QCOMPARE(line.right(6), QByteArray(":F#:O#"));
                server.inverter.write(":ELC0#:ELC1#");
                ++reopened;
            }
            QCOMPARE(error(off), 0);
        }
        QVERIFY(reopened > 0);
        put(a, "disconnect", "ClientID=1");
        QCOMPARE(error(a), 0);
        QCOMPARE(server.inverter.read_quiet(100).right(3), QByteArray(":F#"));
        server.inverter.write(":ELC1#"); // waits in the line, unread
        put(b, "connect", "");
        QCOMPARE(error(b), 0);
        QCOMPARE(server.inverter.read(3), QByteArray(":O#"));
        QCOMPARE(get(b, device + "connecting")["Value"], true);
        QCOMPARE(server.inverter.read(3), QByteArray(":F#")); // given up
    }

    // Each limit answers with its status and a text, and closes the connection.
    void limits_data() {
        const Table<QByteArray, int> row("request", "status");
        row("head over 8 KiB",
            http_request("GET", "/management/apiversions?" + QByteArray(9000, 'a')), 431);
        row("body over 4 KiB",
            "PUT /x HTTP/1.1\r\nContent-Length: 4097\r\n\r\n" + QByteArray(4097, 'a'), 413);
        row("malformed request line", "GET /\r\n\r\n", 400);
        row("two lengths", "PUT /x HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
            400);
        row("chunked body", "PUT /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501);
        row("idle with half a request", "GET /setup HT", 408);
    }

    void limits() {
        QFETCH(QByteArray, request);
        HttpConnection socket(server.http_port());
        QVERIFY(socket.waitForConnected());
        const HttpReply answer = exchange(socket, request, 8000);
        QTEST(answer.status, "status");
        QVERIFY(answer.status == 0 || answer.content_type.startsWith("text/plain"));
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 8000);
    }

    // A client that pipelines requests and never reads the answers is no longer
    // read from: lumivaned's memory stays bounded, another client is served
    // within a second, and the stuck connection is closed after the idle time.
    void a_client_that_never_reads() {
        const qint64 pid = server.process.processId();
        const double before = memory_mib(pid, "VmRSS");
        const QByteArray setup_page = http_request("GET", "/setup");
        HttpConnection hog(server.http_port());
        QVERIFY(pipeline_unread(hog, setup_page, 2s));
        HttpConnection other(server.http_port());
        QCOMPARE(exchange(other, http_request("GET", "/management/apiversions"), 1000).status, 200);
        QCOMPARE_LT(memory_mib(pid, "VmHWM") - before, 64);
        QTRY_VERIFY_WITH_TIMEOUT(!pipeline_unread(hog, setup_page, 100ms), 8000);
    }

    // A 65th connection is refused while 64 are open; a place that frees up
    // is taken again. Each idle one closes 5 s after its answer, not before,
    // wherever in a second its time started.
    void connections_are_capped() {
        client.abort(); // long closed by the server for idling
        const QByteArray versions = http_request("GET", "/management/apiversions");
        std::vector<std::pair<QElapsedTimer, std::unique_ptr<HttpConnection>>> open(64);
        for (auto& [since, connection] : open) {
            QTest::qWait(15); // their idle times start over a second
            since.start();
            connection = std::make_unique<HttpConnection>(server.http_port());
            // Each is accepted and served before the next comes.
            QCOMPARE(exchange(*connection, versions).status, 200);
        }
        HttpConnection one_more(server.http_port());
        QCOMPARE(read_reply(one_more).status, 503);
        open.pop_back();
        bool served = false;
        for (const QDeadlineTimer deadline(5000); !served && !deadline.hasExpired();) {
            HttpConnection next(server.http_port());
            served = exchange(next, versions).status == 200;
        }
        QVERIFY(served);
        for (auto& [since, connection] : open) {
            QVERIFY(connection->waitForDisconnected(7000));
            QCOMPARE_GE(since.elapsed(), 5000);
        }
    }

    // Only the discovery question is answered, with the HTTP port.
    void discovery() {
        QUdpSocket other, asker;
        QVERIFY(other.bind(QHostAddress::LocalHost, 0) && asker.bind(QHostAddress::LocalHost, 0));
        for (const char* datagram : {"alpacadiscovery", "hello"})
            other.writeDatagram(datagram, QHostAddress::LocalHost, server.discovery_port());
        asker.writeDatagram("alpacadiscovery1", QHostAddress::LocalHost, server.discovery_port());
        QVERIFY(asker.waitForReadyRead(3000));
        QCOMPARE(asker.receiveDatagram().data(),
                 "{\"AlpacaPort\":" + QByteArray::number(server.http_port()) + '}');
        // Answers leave in the order the datagrams came: one to the others would be here.
        QVERIFY(!other.hasPendingDatagrams());
    }

    // A device chosen on the setup page, here a comN link in the configuration
    // folder, is offered, saved and used again after a restart, as is the
    // UniqueID. The comN links of the user's data folder are offered too.
    void choices_survive_a_restart() {
        HttpConnection socket(server.http_port());
        server.inverter.link_as_port(server.config_path(), 3);
        const QString com3 = server.config_path() + "/com3";
        QVERIFY(get(socket, setup + "state")["Devices"].toArray().contains(com3));
        const QByteArray form = "Serial=" + QUrl::toPercentEncoding(com3); // as the page sends it
        QCOMPARE(exchange(socket, http_request("PUT", setup + "serial", form)).status, 200);
        const QByteArray devices = "/management/v1/configureddevices";
        const QString id = at(get(socket, devices), "Value/0/UniqueID").toString();
        QVERIFY(!id.isEmpty());

        qputenv("XDG_DATA_HOME", server.config_path().toUtf8()); // the user's data folder
        QVERIFY(QDir(server.config_path()).mkdir("lumivane"));
        server.inverter.link_as_port(server.config_path() + "/lumivane", 4);
        Lumivaned again(QStringLiteral(LUMIVANED), server.config_path());
        HttpConnection other(again.http_port());
        QCOMPARE(at(get(other, devices), "Value/0/UniqueID").toString(), id);
        const QJsonObject state = get(other, setup + "state");
        QCOMPARE(state["Serial"].toString(), com3);
        QVERIFY(state["Devices"].toArray().contains(server.config_path() + "/lumivane/com4"));
    }

private:
    Lumivaned server{QStringLiteral(LUMIVANED)};
    HttpConnection client{server.http_port()};
    qint64 requests = 0;
};

QTEST_GUILESS_MAIN(AlpacaTest)
#include "test_alpaca.moc"
