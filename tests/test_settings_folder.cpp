// Where the operator's settings go, on real folders and permissions: beside
// the program when the operator may write there, else in a folder of the
// user's own, seeded once with the shipped presets.
#include "store/settings_folder.h"
#include "support/without_capabilities.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <linux/capability.h>
#include <sys/stat.h>

class SettingsFolderTest : public QObject {
    Q_OBJECT
private slots:
    void chosen_data() {
        QTest::addColumn<int>("folder_mode");    // of the program's folder
        QTest::addColumn<int>("presets_mode");   // of its el_dat.txt
        QTest::addColumn<QByteArray>("users");   // the user's el_dat.txt beforehand, if any
        QTest::addColumn<bool>("home");          // whether XDG_DATA_HOME and HOME are set
        QTest::addColumn<QString>("expect");     // "program" or "user"
        QTest::addColumn<QByteArray>("presets"); // the user's el_dat.txt afterwards
        QTest::newRow("portable") << 0755 << 0644 << QByteArray() << true << "program"
                                  << QByteArray();
        QTest::newRow("system") << 0555 << 0444 << QByteArray() << true << "user"
                                << QByteArray("shipped");
        QTest::newRow("seeded once")
            << 0555 << 0444 << QByteArray("mine") << true << "user" << QByteArray("mine");
        QTest::newRow("shared") << 0555 << 0666 << QByteArray() << true << "program"
                                << QByteArray();
        QTest::newRow("no home") << 0555 << 0444 << QByteArray() << false << "program"
                                 << QByteArray();
    }

    void chosen() {
        QFETCH(int, folder_mode);
        QFETCH(int, presets_mode);
        QFETCH(QByteArray, users);
        QFETCH(bool, home);
        QTemporaryDir root;
        const QString program = root.filePath("program");
        const QString data = root.filePath("data");
        const QString user = data + "/lumivane";
        QVERIFY(QDir().mkpath(program) && QDir().mkpath(user));
        QFile shipped(program + "/el_dat.txt");
        QVERIFY(shipped.open(QIODevice::WriteOnly) && shipped.write("shipped") == 7);
        shipped.close();
        if (!users.isEmpty()) {
            QFile mine(user + "/el_dat.txt");
            QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write(users) == users.size());
        }
        QVERIFY(::chmod(qPrintable(shipped.fileName()), mode_t(presets_mode)) == 0);
        QVERIFY(::chmod(qPrintable(program), mode_t(folder_mode)) == 0);
        qputenv("XDG_DATA_HOME", home ? data.toUtf8() : QByteArray());
        qputenv("HOME", home ? root.path().toUtf8() : QByteArray());
        std::string chosen;
        {
            const WithoutCapabilities as_a_user(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
            chosen = settings_folder(program.toStdString());
        }
        ::chmod(qPrintable(program), 0755);
        QFETCH(QString, expect);
        QCOMPARE(QString::fromStdString(chosen), expect == "user" ? user : program);
        QFile result(user + "/el_dat.txt");
        QFETCH(QByteArray, presets);
        QCOMPARE(result.open(QIODevice::ReadOnly) ? result.readAll() : QByteArray(), presets);
    }
};

QTEST_GUILESS_MAIN(SettingsFolderTest)
#include "test_settings_folder.moc"
