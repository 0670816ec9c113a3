#include "settingsfile.h"

#include "userfolders.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr char kFileName[] = "KesV.env";

// The mode bits count too: root may write anywhere, but a read-only file stays so.
bool IsWritable(const fs::path& path, mode_t mode) {
    return (mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

} // namespace

fs::path DefaultSettingsPath() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path beside = exe.parent_path() / kFileName;
        struct stat info {};
        if (::stat(beside.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            IsWritable(beside, info.st_mode))
            return beside;
    }
    return GetUserFolders().config / "KesV" / kFileName;
}

EnvSettings LoadSettings(const fs::path& path) {
    EnvSettings settings;
    std::memset(static_cast<void*>(&settings), 0, sizeof(settings));
    // Non-blocking, so that a FIFO in the file's place cannot hold up the start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        settings.SetDefaults();
        return settings;
    }
    auto* bytes = reinterpret_cast<char*>(&settings);
    size_t got = 0;
    while (got < sizeof(settings)) {
        const ssize_t n = ::read(fd, bytes + got, sizeof(settings) - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    return settings;
}

EnvSettings SettingsFromBytes(const void* data, size_t size) {
    EnvSettings settings;
    std::memset(static_cast<void*>(&settings), 0, sizeof(settings));
    std::memcpy(static_cast<void*>(&settings), data, std::min(size, sizeof(settings)));
    return settings;
}

namespace {

using Step = SettingsFileError::Step;

SettingsFileError Failure(Step step, int systemError) {
    return {step, systemError};
}

// The file a path names after following every symbolic link, even when that file does
// not exist yet.
bool ResolveLinks(fs::path& path, SettingsFileError* reason) {
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

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, bytes + written, size - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        written += size_t(n);
    }
    return true;
}

// The fallback for a writable file in a folder that takes no new file: written over in
// place, cut to size and flushed.
bool WriteInPlace(const fs::path& path, const void* data, size_t size, SettingsFileError* reason) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = Failure(Step::Open, errno);
        return false;
    }
    bool ok = WriteAll(fd, data, size) && ::ftruncate(fd, off_t(size)) == 0 && ::fsync(fd) == 0;
    if (!ok)
        *reason = Failure(Step::Write, errno);
    if (::close(fd) != 0 && ok) {
        *reason = Failure(Step::Write, errno);
        ok = false;
    }
    return ok;
}

bool WriteSettingsFile(fs::path path, const void* data, size_t size, SettingsFileError* reason) {
    if (!ResolveLinks(path, reason))
        return false;
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    mode_t mode = 0644;
    if (exists) {
        if (!S_ISREG(old.st_mode)) {
            *reason = Failure(Step::NotRegular, 0);
            return false;
        }
        if (!IsWritable(path, old.st_mode)) {
            *reason = Failure(Step::ReadOnly, 0);
            return false;
        }
        mode = old.st_mode & 07777;
    } else if (path.has_parent_path()) {
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        if (ec) {
            *reason = Failure(Step::CreateFolder, ec.value());
            return false;
        }
    }

    std::string temp = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        const int error = errno;
        if (exists && (error == EACCES || error == EPERM))
            return WriteInPlace(path, data, size, reason);
        *reason = Failure(Step::Create, error);
        return false;
    }
    // mkstemp makes the file readable by its owner only; the settings keep the old mode
    // and, as far as allowed, the old owner.
    bool ok = WriteAll(fd, data, size) && ::fchmod(fd, mode) == 0;
    if (ok && exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // A refused change leaves the file the writer's own (fortified glibc warns on a
        // result cast to void).
        [[maybe_unused]] const int refused = ::fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && ::fsync(fd) == 0;
    if (!ok)
        *reason = Failure(Step::Write, errno);
    if (::close(fd) != 0 && ok) {
        *reason = Failure(Step::Write, errno);
        ok = false;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        *reason = Failure(Step::Replace, errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself lasts only once the folder is flushed.
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    if (const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace

bool SaveSettings(const EnvSettings& settings, const fs::path& path, SettingsFileError* error) {
    SettingsFileError ignored;
    return WriteSettingsFile(path, &settings, sizeof(settings), error ? error : &ignored);
}
