#include "safefile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Step = FileWriteError::Step;

constexpr char kTemporaryMark[] = ".kesv-";
constexpr size_t kRandomLength = 6;
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

FileWriteError Failure(Step step, int systemError) {
    return {step, systemError};
}

// ".NAME.kesv-", with NAME cut so that the whole name stays within the 255 bytes a folder
// entry may have.
std::string TemporaryPrefix(const std::string& name) {
    constexpr size_t kMaxName = 255 - 1 - (sizeof kTemporaryMark - 1) - kRandomLength;
    return '.' + name.substr(0, kMaxName) + kTemporaryMark;
}

bool IsTemporaryName(const std::string& candidate, const std::string& prefix) {
    if (candidate.size() != prefix.size() + kRandomLength ||
        candidate.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < candidate.size(); ++i) {
        const char c = candidate[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// The mode bits count too: root may write anywhere, but a read-only file stays so.
bool IsWritable(const fs::path& path, mode_t mode) {
    return (mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

fs::path FolderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// The file a path names after following every symbolic link, even when that file does
// not exist yet.
bool ResolveLinks(fs::path& path, FileWriteError* reason) {
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return true;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) {
            *reason = Failure(Step::ReadLink, ec.value());
            return false;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    *reason = Failure(Step::ReadLink, ELOOP);
    return false;
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        written += size_t(n);
    }
    return true;
}

// A file system that cannot flush says so with EINVAL; every other failure is the data's.
bool Flush(int fd) {
    return ::fsync(fd) == 0 || errno == EINVAL;
}

// The fallback for a writable file in a folder that takes no new file: written over in
// place, cut to size and flushed.
bool WriteInPlace(const fs::path& path, std::span<const uint8_t> bytes, FileWriteError* reason) {
    // Only a file-size limit can stop such a write part way: a small write over blocks the file
    // has already either fails whole or succeeds.
    if (rlimit limit{}; ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
                        limit.rlim_cur < bytes.size()) {
        *reason = Failure(Step::Write, EFBIG);
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = Failure(Step::Open, errno);
        return false;
    }
    bool ok = WriteAll(fd, bytes) && ::ftruncate(fd, off_t(bytes.size())) == 0 && Flush(fd);
    if (!ok)
        *reason = Failure(Step::Write, errno);
    if (::close(fd) != 0 && ok) {
        *reason = Failure(Step::Write, errno);
        ok = false;
    }
    return ok;
}

// Creates a temporary file beside `file` with the mode any new file gets (open applies the
// umask, where mkstemp's file would be private) and locks it for as long as it is open, so
// that RemoveStaleTemporaries leaves it alone. Returns -1 with errno set when none can be made.
int CreateTemporary(const fs::path& file, std::string& name) {
    thread_local std::minstd_rand random(
        uint32_t(std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid()));
    const std::string stem = (FolderOf(file) / TemporaryPrefix(file.filename().string())).string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem;
        for (size_t i = 0; i < kRandomLength; ++i)
            name += kLetters[random() % (sizeof kLetters - 1)];
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return -1;
        // A cleaner that took the file between the open and the lock removes it: another name.
        // Where locks are not supported no cleaner can take it either.
        struct stat info {};
        if ((::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) ||
            (::fstat(fd, &info) == 0 && info.st_nlink == 0)) {
            ::close(fd);
            continue;
        }
        return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

void RemoveStaleTemporaries(const fs::path& path) {
    fs::path file = path;
    FileWriteError ignored;
    if (!ResolveLinks(file, &ignored))
        return;
    DIR* folder = ::opendir(FolderOf(file).c_str());
    if (!folder)
        return;
    const int folderFd = ::dirfd(folder);
    const std::string prefix = TemporaryPrefix(file.filename().string());
    while (const dirent* entry = ::readdir(folder)) {
        if (!IsTemporaryName(entry->d_name, prefix))
            continue;
        const int fd =
            ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Unlocked means no write holds it; the name must still be this file when it goes.
        struct stat info {};
        struct stat named {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == info.st_dev && named.st_ino == info.st_ino)
            ::unlinkat(folderFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(folder);
}

bool WriteFileSafely(const fs::path& path, std::span<const uint8_t> bytes, FileWriteError* error,
                     const SafeWriteOptions& options) {
    FileWriteError ignored;
    FileWriteError* reason = error ? error : &ignored;
    fs::path file = path;
    if (!ResolveLinks(file, reason))
        return false;
    struct stat old {};
    const bool exists = ::stat(file.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) {
            *reason = Failure(Step::NotRegular, 0);
            return false;
        }
        if (!IsWritable(file, old.st_mode)) {
            *reason = Failure(Step::ReadOnly, 0);
            return false;
        }
    } else if (options.createFolder && file.has_parent_path()) {
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        if (ec) {
            *reason = Failure(Step::CreateFolder, ec.value());
            return false;
        }
    }
    RemoveStaleTemporaries(file);

    std::string temporary;
    const int fd = CreateTemporary(file, temporary);
    if (fd < 0) {
        const int failure = errno;
        if (exists && options.inPlaceFallback && (failure == EACCES || failure == EPERM))
            return WriteInPlace(file, bytes, reason);
        *reason = Failure(Step::Create, failure);
        return false;
    }
    bool ok = WriteAll(fd, bytes);
    if (ok && exists) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
            // A refused change leaves the file the writer's own (fortified glibc warns on a
            // result cast to void).
            [[maybe_unused]] const int refused = ::fchown(fd, old.st_uid, old.st_gid);
        }
    }
    ok = ok && Flush(fd);
    if (!ok)
        *reason = Failure(Step::Write, errno);
    if (ok && std::rename(temporary.c_str(), file.c_str()) != 0) {
        *reason = Failure(Step::Replace, errno);
        ok = false;
    }
    if (!ok)
        ::unlink(temporary.c_str());
    // Only now, with the file renamed or gone, the lock may go. The data is flushed already.
    ::close(fd);
    if (!ok)
        return false;
    // The rename itself lasts only once the folder is flushed.
    if (const int folderFd = ::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}
