#include "settingsfile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr char kFileName[] = "KesV.env";

fs::path ConfigHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return fs::path(xdg);
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".config";
    return fs::temp_directory_path();
}

} // namespace

fs::path DefaultSettingsPath() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path beside = exe.parent_path() / kFileName;
        if (fs::is_regular_file(beside, ec) && ::access(beside.c_str(), W_OK) == 0)
            return beside;
    }
    return ConfigHome() / "KesV" / kFileName;
}

EnvSettings LoadSettings(const fs::path& path) {
    EnvSettings settings;
    std::memset(static_cast<void*>(&settings), 0, sizeof(settings));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        settings.SetDefaults();
        return settings;
    }
    std::fread(&settings, 1, sizeof(settings), file);
    std::fclose(file);
    return settings;
}

EnvSettings SettingsFromBytes(const void* data, size_t size) {
    EnvSettings settings;
    std::memset(static_cast<void*>(&settings), 0, sizeof(settings));
    std::memcpy(static_cast<void*>(&settings), data, std::min(size, sizeof(settings)));
    return settings;
}

bool SaveSettings(const EnvSettings& settings, const fs::path& path) {
    return WriteFileAtomically(path, &settings, sizeof(settings));
}

bool WriteFileAtomically(const fs::path& path, const void* data, size_t size) {
    std::error_code ec;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    std::string temp = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    const auto* bytes = static_cast<const char*>(data);
    size_t written = 0;
    bool ok = true;
    while (written < size) {
        const ssize_t n = ::write(fd, bytes + written, size - written);
        if (n < 0) {
            ok = false;
            break;
        }
        written += size_t(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    // mkstemp creates the file readable only by its owner; keep the usual permissions.
    ::chmod(temp.c_str(), 0644);
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}
