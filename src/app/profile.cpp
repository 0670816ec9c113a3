#include "profile.h"

#include "exchange/songfilemessages.h"
#include "settings/safefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

struct ProfileText {
    Q_DECLARE_TR_FUNCTIONS(Profile)
};

// Far beyond what the window keeps there.
constexpr qint64 kMaxProfileBytes = qint64(4) << 20;

constexpr char kOldOrganization[] = "Local AppWizard-Generated Applications";

// The user's config folder UseProfileFolder set; empty: Qt's.
QString& ProfileFolder() {
    static QString folder;
    return folder;
}

QString UserConfigFolder() {
    return ProfileFolder().isEmpty()
               ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
               : ProfileFolder();
}

// The profile file that is no regular file, once GuardProfile found one.
QString& RefusedProfile() {
    static QString refused;
    return refused;
}

std::filesystem::path NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::span<const uint8_t> BytesOf(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

enum class ReadResult { Read, Missing, NotRegular, Failed };

// Reads a profile file without ever blocking: a FIFO or a device in its place is refused unread.
ReadResult ReadProfileFile(const QString& path, QByteArray& bytes, int* systemError) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        *systemError = errno;
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    }
    if (!S_ISREG(info.st_mode))
        return ReadResult::NotRegular;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *systemError = errno;
        return ReadResult::Failed;
    }
    ReadResult result = ReadResult::Read;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        result = ReadResult::NotRegular; // replaced since the first look
    bytes.clear();
    char buffer[1 << 16];
    while (result == ReadResult::Read) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            break;
        if (n < 0 || bytes.size() + n > kMaxProfileBytes) {
            *systemError = n < 0 ? errno : EFBIG;
            result = ReadResult::Failed;
            break;
        }
        bytes.append(buffer, n);
    }
    ::close(fd);
    return result;
}

// Whether `settings` holds exactly `intended`; a value read back from the file may come as text.
bool HoldsExactly(const QSettings& settings, const QMap<QString, QVariant>& intended) {
    const QStringList keys = settings.allKeys();
    if (keys.size() != intended.size())
        return false;
    for (const QString& key : keys) {
        const auto it = intended.constFind(key);
        if (it == intended.cend())
            return false;
        const QVariant value = settings.value(key);
        if (value.metaType() == it->metaType() ? value != *it : value.toString() != it->toString())
            return false;
    }
    return true;
}

} // namespace

void UseProfileFolder(const QString& configFolder) {
    const QString name = QStringLiteral("/KesV.conf");
    const QString folder = configFolder + QStringLiteral("/KesV");
    const QString oldFolder = configFolder + QLatin1Char('/') + QLatin1String(kOldOrganization);
    if (!QFile::exists(folder + name) && QFile::exists(oldFolder + name) && QDir().mkpath(folder) &&
        QFile::rename(oldFolder + name, folder + name))
        QDir().rmdir(oldFolder); // only when empty
    QCoreApplication::setOrganizationName(QStringLiteral("KesV"));
    QCoreApplication::setApplicationName(QStringLiteral("KesV"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configFolder);
    ProfileFolder() = configFolder;
}

QString ProfilePath() {
    return UserConfigFolder() + QLatin1Char('/') + QCoreApplication::organizationName() +
           QLatin1Char('/') + QCoreApplication::applicationName() + QStringLiteral(".conf");
}

QString GuardProfile() {
    // QSettings reads the program's file and the organisation's, in the user's folder and in
    // every system one.
    QString refused;
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    if (!folders.isEmpty())
        folders.first() = UserConfigFolder(); // the system's folders follow the user's
    for (const QString& folder : std::as_const(folders)) {
        const QString organization =
            folder + QLatin1Char('/') + QCoreApplication::organizationName();
        for (const QString& file :
             {organization + QLatin1Char('/') + QCoreApplication::applicationName() +
                  QStringLiteral(".conf"),
              organization + QStringLiteral(".conf")}) {
            struct stat info {};
            if (refused.isEmpty() && ::stat(QFile::encodeName(file).constData(), &info) == 0 &&
                !S_ISREG(info.st_mode))
                refused = file;
        }
    }
    if (refused.isEmpty())
        return {};
    // Every QSettings of this run reads an empty folder instead.
    static QTemporaryDir empty;
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, empty.path());
    }
    RefusedProfile() = refused;
    return refused;
}

bool WriteProfile(const std::function<void(QSettings&)>& change, QString* error) {
    const auto fail = [error](const QString& why) {
        *error = why;
        return false;
    };
    const auto failWith = [&fail](FileWriteError::Step step, int systemError = 0) {
        return fail(DescribeFileWriteError({step, systemError}));
    };
    if (!RefusedProfile().isEmpty())
        return fail(ProfileText::tr("%1 は通常のファイルではありません。")
                        .arg(QDir::toNativeSeparators(RefusedProfile())));
    const QString path = ProfilePath();
    QByteArray old;
    int systemError = 0;
    switch (ReadProfileFile(path, old, &systemError)) {
    case ReadResult::Read:
    case ReadResult::Missing:
        break;
    case ReadResult::NotRegular:
        return failWith(FileWriteError::Step::NotRegular);
    case ReadResult::Failed:
        return fail(
            ProfileText::tr("ファイルを読み込めません: %1").arg(qt_error_string(systemError)));
    }

    QTemporaryDir stage;
    if (!stage.isValid())
        return fail(ProfileText::tr("一時フォルダを作成できません: %1").arg(stage.errorString()));
    const QString staged = stage.filePath(QStringLiteral("staged.conf"));
    FileWriteError failure;
    if (!WriteFileSafely(NativePath(staged), BytesOf(old), &failure))
        return fail(DescribeFileWriteError(failure));
    QMap<QString, QVariant> intended;
    {
        QSettings settings(staged, QSettings::IniFormat);
        change(settings);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return fail(ProfileText::tr("Qt の設定ファイルを書き出せません。"));
        for (const QString& key : settings.allKeys())
            intended.insert(key, settings.value(key));
    }
    // Read back under another name, so that nothing Qt keeps in memory of the first one counts.
    QByteArray bytes;
    const QString check = stage.filePath(QStringLiteral("check.conf"));
    if (ReadProfileFile(staged, bytes, &systemError) != ReadResult::Read)
        return fail(
            ProfileText::tr("ファイルを読み込めません: %1").arg(qt_error_string(systemError)));
    if (!WriteFileSafely(NativePath(check), BytesOf(bytes), &failure))
        return fail(DescribeFileWriteError(failure));
    if (!HoldsExactly(QSettings(check, QSettings::IniFormat), intended)) {
        // Qt's failed write left no reason behind; writing more than it wrote again finds it.
        WriteFileSafely(NativePath(stage.filePath(QStringLiteral("probe"))),
                        std::vector<uint8_t>(size_t(bytes.size()) + 65536), &failure);
        if (failure.step != FileWriteError::Step::None)
            return fail(DescribeFileWriteError(failure));
        return fail(ProfileText::tr("書き出した内容が読み戻せません。"));
    }
    SafeWriteOptions options;
    options.createFolder = true;
    if (!WriteFileSafely(NativePath(path), BytesOf(bytes), &failure, options))
        return fail(DescribeFileWriteError(failure));
    return true;
}
