#include "outputfile.h"

#include "exchangetext.h"
#include "settings/safefile.h"
#include "songfilemessages.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += size_t(written);
    }
    return true;
}

} // namespace

bool IsSameFile(const QString& first, const QString& second) {
    struct stat a {};
    struct stat b {};
    return ::stat(QFile::encodeName(first).constData(), &a) == 0 &&
           ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool WriteOutputFile(const QString& path, std::span<const uint8_t> bytes, QString* error) {
    if (path == QLatin1String("-")) {
        std::fflush(stdout);
        if (!WriteAll(STDOUT_FILENO, bytes)) {
            *error = ExchangeText::tr("標準出力に書き込めません: %1").arg(SystemError(errno));
            return false;
        }
        return true;
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) {
            *error = ExchangeText::tr("フォルダには書き出せません。");
            return false;
        }
        // A device or FIFO is written as it is, never replaced by a plain file.
        const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = ExchangeText::tr("ファイルを開けません: %1").arg(SystemError(errno));
            return false;
        }
        const bool written = WriteAll(fd, bytes);
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            *error = ExchangeText::tr("ファイルに書き込めません: %1").arg(SystemError(writeError));
            return false;
        }
        return true;
    }
    if (FileWriteError failure; !WriteFileSafely(name.toStdString(), bytes, &failure)) {
        *error = DescribeFileWriteError(failure);
        return false;
    }
    return true;
}

bool NamesItsType(const QString& path) {
    if (path == QLatin1String("-"))
        return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode);
}
