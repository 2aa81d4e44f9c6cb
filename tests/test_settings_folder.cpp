// Where the operator's settings go, on real folders and permissions: beside
// the program when the operator may write there, else in a folder of the
// user's own, seeded once with the shipped presets.
#include "store/settings_folder.h"
#include "support/table.h"
#include "support/without_capabilities.h"

#include <QDir>
#include <QTemporaryDir>
#include <linux/capability.h>
#include <sys/stat.h>

static void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

class SettingsFolderTest : public QObject {
    Q_OBJECT
private slots:
    void chosen_data() {
        // Modes of the program's folder and its el_dat.txt; the user's el_dat.txt
        // before and after; whether XDG_DATA_HOME and HOME are set.
        const Table<int, int, QByteArray, bool, QString, QByteArray> row(
            "folder_mode", "presets_mode", "users", "home", "expect", "presets");
        row("portable", 0755, 0644, {}, true, "program", {});
        row("system", 0555, 0444, {}, true, "user", "shipped");
        row("seeded once", 0555, 0444, "mine", true, "user", "mine");
        row("shared", 0555, 0666, {}, true, "program", {});
        row("no home", 0555, 0444, {}, false, "program", {});
    }

    void chosen() {
        QFETCH(QByteArray, users);
        QFETCH(bool, home);
        QTemporaryDir root;
        const QString program = root.filePath("program"), user = root.filePath("data/lumivane");
        QVERIFY(QDir().mkpath(program) && QDir().mkpath(user));
        write(program + "/el_dat.txt", "shipped");
        if (!users.isEmpty()) write(user + "/el_dat.txt", users);
        QFETCH(int, presets_mode);
        QFETCH(int, folder_mode);
        QVERIFY(::chmod(qPrintable(program + "/el_dat.txt"), mode_t(presets_mode)) == 0);
        QVERIFY(::chmod(qPrintable(program), mode_t(folder_mode)) == 0);
        qputenv("XDG_DATA_HOME", home ? root.filePath("data").toUtf8() : QByteArray());
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
        QTEST(result.open(QIODevice::ReadOnly) ? result.readAll() : QByteArray(), "presets");
    }
};

QTEST_GUILESS_MAIN(SettingsFolderTest)
#include "test_settings_folder.moc"
