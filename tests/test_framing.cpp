// Cutting frames out of received bytes, and the numbers inside reports.
#include "device/framing.h"
#include "device/report_number.h"
#include "shared/code_text.h"

#include <QRandomGenerator>
#include <QTest>

class FramingTest : public QObject {
    Q_OBJECT
private slots:
    void frames_from_chunks_data();
    void frames_from_chunks();
    void stream_cut_anywhere_arrives_whole_and_in_order();
    void noise_without_hash_is_bounded();
    void report_numbers();
    void two_digit_code_text_keeps_last_two_characters();
};

void FramingTest::frames_from_chunks_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("frames");
    using L = QList<QByteArray>;
    QTest::newRow("one report") << L{":CAS1#"} << L{"CAS1#"};
    QTest::newRow("two reports in one chunk") << L{":EDU25#:EFQ45#"} << L{"EDU25#", "EFQ45#"};
    QTest::newRow("report split across chunks") << L{":EDU2", "5#"} << L{"EDU25#"};
    QTest::newRow("split before the hash") << L{":", "E", "FQ4", "5", "#"} << L{"EFQ45#"};
    QTest::newRow("line end between reports") << L{":CAS1#\r\n", ":EDU25#"} << L{"CAS1#", "EDU25#"};
    QTest::newRow("no lead-in loses the first character") << L{"CAS1#"} << L{"AS1#"};
    QTest::newRow("any lead-in character") << L{"xELC1#"} << L{"ELC1#"};
    QTest::newRow("last colon wins after garbage") << L{"ab:c:ELM0#"} << L{"ELM0#"};
    QTest::newRow("lone hash") << L{"#"} << L{"#"};
    QTest::newRow("nothing closed yet") << L{":EDU25"} << L{};
    QTest::newRow("beep frame with lead-in") << L{":fqs#"} << L{"fqs#"};
}

void FramingTest::frames_from_chunks() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, frames);
    QByteArray RX_buf;
    QList<QByteArray> got;
    for (const QByteArray& chunk : chunks)
        got += take_frames(RX_buf, chunk);
    QCOMPARE(got, frames);
}

void FramingTest::stream_cut_anywhere_arrives_whole_and_in_order() {
    QRandomGenerator random(20261206);
    const QList<QByteArray> kinds = {"CAS0#", "CAS1#",  "ELC1#",  "ELC0#", "ELM0#",
                                     "ELM1#", "EDU25#", "EFQ45#", "fqs#",  "EDU07#"};
    QList<QByteArray> sent;
    QByteArray stream;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray frame = kinds[random.bounded(kinds.size())];
        sent.append(frame);
        stream += ':' + frame;
        if (random.bounded(4) == 0) stream += "\r\n";
    }
    QByteArray RX_buf;
    QList<QByteArray> got;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = std::min<qsizetype>(1 + random.bounded(20), stream.size() - at);
        got += take_frames(RX_buf, QByteArrayView(stream).sliced(at, n));
        at += n;
    }
    QCOMPARE(got.size(), sent.size());
    QCOMPARE(got, sent);
    QVERIFY(RX_buf.isEmpty());
}

void FramingTest::noise_without_hash_is_bounded() {
    QByteArray RX_buf;
    for (int i = 0; i < 1000; ++i)
        QVERIFY(take_frames(RX_buf, "noise:noise").isEmpty());
    QCOMPARE(RX_buf.size(), max_pending_bytes);
    // A report that follows the noise still comes through whole.
    QCOMPARE(take_frames(RX_buf, ":EDU25#"), QList<QByteArray>{"EDU25#"});
}

void FramingTest::report_numbers() {
    struct Case {
        const char* field;
        int tenths;
        qint16 code;
        const char* duty_caption; // tenths * 2
    };
    const Case cases[] = {
        {"25", 250, 25, "50"}, {"5#", 50, 5, "10"},    {"#", 0, 0, "0"},       {"", 0, 0, "0"},
        {" 7", 70, 7, "14"},   {"7 ", 70, 7, "14"},    {"-5", -50, -5, "-10"}, {"+3", 30, 3, "6"},
        {".5", 5, 0, "1"},     {"1.", 10, 1, "2"},     {"-.", 0, 0, "0"},      {"ab", 0, 0, "0"},
        {"9x", 90, 9, "18"},   {"99", 990, 99, "198"}, {"--", 0, 0, "0"},      {".7", 7, 1, "1.4"},
    };
    for (const Case& c : cases) {
        const QString field = QString::fromLatin1(c.field);
        QCOMPARE(field_tenths(field), c.tenths);
        QCOMPARE(round_half_even(c.tenths), c.code);
        QCOMPARE(tenths_text(c.tenths * 2), QString::fromLatin1(c.duty_caption));
    }
    // Halves go to the even neighbour, on both sides of zero.
    QCOMPARE(round_half_even(5), qint16(0));
    QCOMPARE(round_half_even(15), qint16(2));
    QCOMPARE(round_half_even(25), qint16(2));
    QCOMPARE(round_half_even(-15), qint16(-2));
    QCOMPARE(round_half_even(-25), qint16(-2));
    QCOMPARE(round_half_even(-16), qint16(-2));
    QCOMPARE(tenths_text(-5), QStringLiteral("-0.5"));
}

void FramingTest::two_digit_code_text_keeps_last_two_characters() {
    QCOMPARE(two_digit_code_text(0), QStringLiteral("00"));
    QCOMPARE(two_digit_code_text(7), QStringLiteral("07"));
    QCOMPARE(two_digit_code_text(45), QStringLiteral("45"));
    QCOMPARE(two_digit_code_text(70), QStringLiteral("70"));
    QCOMPARE(two_digit_code_text(100), QStringLiteral("00"));
    QCOMPARE(two_digit_code_text(123), QStringLiteral("23"));
    QCOMPARE(two_digit_code_text(-1), QStringLiteral("-1"));
}

QTEST_APPLESS_MAIN(FramingTest)
#include "test_framing.moc"
