// Where the programs keep the operator's settings, on real folders and
// permissions: by how the program was installed, never by what is writable;
// a user's folder made when missing and seeded once with the shipped presets.
#include "store/settings_folder.h"
#include "support/table.h"
#include "support/without_capabilities.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <linux/capability.h>
#include <sys/stat.h>

static void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly) &&
            f.write(bytes) == bytes.size());
}

static QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SettingsFolderTest : public QObject {
    Q_OBJECT
private slots:
    void user_folder_data() {
        // XDG_DATA_HOME (HOME is the temporary folder); the user's el_dat.txt
        // before and after.
        const Table<QByteArray, QByteArray, QString, QByteArray> row("data_home", "users", "expect",
                                                                     "presets");
        row("made and seeded", "/data", {}, "/data/lumivane", "shipped");
        row("seeded once", "/data", "mine", "/data/lumivane", "mine");
        row("relative data home", "data", {}, "/.local/share/lumivane", "shipped");
    }

    void user_folder() {
        QFETCH(QByteArray, data_home);
        QFETCH(QByteArray, users);
        QTemporaryDir root;
        QFETCH(QString, expect);
        const QString folder = root.path() + expect, shipped = root.filePath("el_dat.txt");
        write(shipped, "shipped");
        if (!users.isEmpty()) write(folder + "/el_dat.txt", users);
        qputenv("HOME", root.path().toUtf8());
        qputenv("XDG_DATA_HOME",
                data_home.startsWith('/') ? root.path().toUtf8() + data_home : data_home);
        QCOMPARE(QString::fromStdString(made_user_settings_folder(shipped.toStdString())), folder);
        QTEST(read(folder + "/el_dat.txt"), "presets");
    }

    // A one-folder install keeps its settings beside the program even where
    // the user may not write; a system install never does, not even for root.
    void by_install() {
        QTemporaryDir root;
        const QString program = root.filePath("program");
        write(program + "/el_dat.txt", "shipped");
        QVERIFY(::chmod(qPrintable(program + "/el_dat.txt"), 0444) == 0);
        QVERIFY(::chmod(qPrintable(program), 0555) == 0);
        qputenv("XDG_DATA_HOME", root.filePath("data").toUtf8());
        ProgramFolders chosen;
        {
            const WithoutCapabilities as_a_user(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
            chosen = program_folders(program.toStdString());
        }
        ::chmod(qPrintable(program), 0755);
#ifdef LUMIVANE_DATA_DIR
        QCOMPARE(chosen.data, std::string(LUMIVANE_DATA_DIR));
        QCOMPARE(QString::fromStdString(chosen.settings), root.filePath("data/lumivane"));
#else
        QCOMPARE(QString::fromStdString(chosen.data), program);
        QCOMPARE(QString::fromStdString(chosen.settings), program);
#endif
    }
};

QTEST_GUILESS_MAIN(SettingsFolderTest)
#include "test_settings_folder.moc"
