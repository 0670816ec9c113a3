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

bool SaveSettings(const EnvSettings& settings, const fs::path& path, SettingsFileError* error) {
    SafeWriteOptions options;
    options.createFolder = true;
    options.inPlaceFallback = true;
    return WriteFileSafely(path, {reinterpret_cast<const uint8_t*>(&settings), sizeof(settings)},
                           error, options);
}
