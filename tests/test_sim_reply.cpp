// The simulator's reply shaping on tables: frames pushed with the times they
// are due, taken at given times; the writes that come out, and when it wants
// to be asked again.
#include "reply_shaper.h"
#include "support/table.h"

#include <QTest>

class SimReplyTest : public QObject {
    Q_OBJECT
private slots:
    void shaping_data() {
        // The options, "merge", "split" (seeded with 7); frame@due in ms, in the order
        // pushed; time:writes taken, "," between the writes; the next deadline
        // afterwards, -1 for none.
        const Table<QString, QString, QString, int> row("options", "pushes", "takes", "next");
        row("when due, in order", "", "first@100 second@0 third@200", "99: 100:first,second", 200);
        row("merged in pairs", "merge", "a@0 b@10 c@10", "0: 10:ab", 60);
        row("one alone after 50 ms", "merge", "a@0", "0: 49: 50:a", -1);
        row("split", "split", "abcdefgh@0", "0:a,b,cde,f,gh", -1);
        row("merged, then split", "merge split", "abc@0 def@0", "0:a,b,cde,f", -1);
    }

    void shaping() {
        QFETCH(QString, options);
        QFETCH(QString, pushes);
        QFETCH(QString, takes);
        sim::ReplyShaper shaper(options.contains("merge"), options.contains("split"), 7);
        const auto at = [](const QString& ms) {
            return sim::ReplyShaper::Clock::time_point(std::chrono::milliseconds(ms.toInt()));
        };
        for (const QString& push : pushes.split(u' '))
            shaper.push(push.section(u'@', 0, 0).toStdString(), at(push.section(u'@', 1)));
        for (const QString& take : takes.split(u' ')) {
            QStringList writes;
            for (const std::string& bytes : shaper.take_due(at(take.section(u':', 0, 0))).writes)
                writes << QString::fromStdString(bytes);
            QCOMPARE(writes.join(u','), take.section(u':', 1));
        }
        const auto next = shaper.next_deadline();
        QTEST(next ? int(next->time_since_epoch() / std::chrono::milliseconds(1)) : -1, "next");
    }
};

QTEST_GUILESS_MAIN(SimReplyTest)
#include "test_sim_reply.moc"
