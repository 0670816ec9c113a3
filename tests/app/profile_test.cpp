// The profile: written back whole or not at all, and never read through a FIFO.
#include "app/profile.h"
#include "filesizelimit.h"
#include "settings/userfolders.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SetRecentFile(QSettings& settings) {
    settings.setValue(QStringLiteral("Recent File List/File1"), QStringLiteral("/songs/a.kes"));
}

} // namespace

class ProfileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void path_isTheFileQtReads() {
        QCOMPARE(GuardProfile(), QString());
        QCOMPARE(QSettings().fileName(), ProfilePath());
    }

    void failedWrite_keepsTheOldProfileAndSaysWhy() {
        QString error;
        QVERIFY2(WriteProfile(SetRecentFile, &error), qPrintable(error));
        const QByteArray before = ReadFile(ProfilePath());
        // Nothing fits; or the old profile does and only Qt's write of the new one stops part
        // way, which Qt itself reports as success.
        for (const rlim_t limit : {rlim_t(0), rlim_t(before.size() + 100)}) {
            bool written = true;
            {
                const FileSizeLimit full(limit);
                written = WriteProfile(
                    [](QSettings& settings) {
                        settings.setValue(QStringLiteral("MainBar/State"), QByteArray(4000, 'x'));
                    },
                    &error);
            }
            QVERIFY(!written);
            QVERIFY2(error.contains(qt_error_string(EFBIG)), qPrintable(error));
            QCOMPARE(ReadFile(ProfilePath()), before);
        }
        QCOMPARE(QSettings().value(QStringLiteral("Recent File List/File1")).toString(),
                 QStringLiteral("/songs/a.kes"));
        QVERIFY(!QSettings().contains(QStringLiteral("MainBar/State")));
    }

    // An earlier version's profile moves into KesV's folder once, recent files and bars kept;
    // a profile that is there already wins over an old one.
    void profile_movesAnOldProfileIntoKesVsFolderOnce() {
        QTemporaryDir config;
        const QString oldFile =
            config.filePath(QStringLiteral("Local AppWizard-Generated Applications/KesV.conf"));
        const QString newFile = config.filePath(QStringLiteral("KesV/KesV.conf"));
        const auto writeOld = [&oldFile](const QString& recent) {
            QSettings old(oldFile, QSettings::IniFormat);
            old.setValue(QStringLiteral("Recent File List/File1"), recent);
            old.setValue(QStringLiteral("MainBar/StatusBar"), false);
        };
        writeOld(QStringLiteral("/songs/a.kes"));
        UseProfileFolder(config.path());
        QCOMPARE(ProfilePath(), newFile);
        QVERIFY(QFile::exists(newFile));
        QVERIFY(!QFile::exists(oldFile));
        QVERIFY(!QFile::exists(QFileInfo(oldFile).path()));
        QCOMPARE(QSettings().value(QStringLiteral("Recent File List/File1")).toString(),
                 QStringLiteral("/songs/a.kes"));
        QCOMPARE(QSettings().value(QStringLiteral("MainBar/StatusBar"), true).toBool(), false);

        writeOld(QStringLiteral("/songs/older.kes"));
        UseProfileFolder(config.path());
        QVERIFY(QFile::exists(oldFile));
        QCOMPARE(QSettings().value(QStringLiteral("Recent File List/File1")).toString(),
                 QStringLiteral("/songs/a.kes"));
        UseProfileFolder(QFile::decodeName(GetUserFolders().config.c_str()));
    }

    // Last: the refusal holds for the rest of the run.
    void fifo_isRefusedWithoutBlockingTheStart() {
        QFile::remove(ProfilePath());
        QVERIFY(::mkfifo(QFile::encodeName(ProfilePath()).constData(), 0600) == 0);
        QCOMPARE(GuardProfile(), ProfilePath());
        // Qt's reader would wait here for a writer to open the FIFO.
        QVERIFY(QSettings().value(QStringLiteral("MainBar/StatusBar"), true).toBool());
        QString error;
        QVERIFY(!WriteProfile(SetRecentFile, &error));
        QVERIFY2(error.contains(ProfilePath()), qPrintable(error));
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(ProfilePath()).constData(), &info) == 0);
        QVERIFY(S_ISFIFO(info.st_mode));
    }
};

int main(int argc, char** argv) {
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    UseProfileFolder(profile.path());
    ProfileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "profile_test.moc"
