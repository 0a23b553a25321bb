#include "production/PagerBackup.h"

#include "image/RegularFiles.h"
#include "programming/SerialNumber.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

std::optional<std::filesystem::path> DefaultBackupFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::filesystem::path(state) / "pager-programmer" / "backups";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        return std::nullopt;
    }
    return std::filesystem::path(home) / ".local" / "state" / "pager-programmer" / "backups";
}

std::optional<std::string> PrepareBackupFolder(const std::filesystem::path& folder) {
    std::error_code error;
    if (std::filesystem::exists(folder, error) && !std::filesystem::is_directory(folder, error)) {
        return "the backup folder " + folder.string() + " is a file, not a folder";
    }
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "the backup folder " + folder.string() + " cannot be made: " + error.message();
    }
    if (!std::filesystem::is_directory(folder, error)) {
        return "the backup folder " + folder.string() + " is not a folder";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "no backup can be saved in " + folder.string() + ": " + std::strerror(errno);
    }
    return std::nullopt;
}

namespace {

std::string FileNameOf(const std::string& serialNumber) {
    std::string name;
    for (const char c : UnalignedSerialNumber(serialNumber)) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-' || c == '_' || c == '.';
        name += plain ? c : '_';
    }
    if (name.empty() || name.front() == '.') {
        name = "no-serial" + name;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M%S", &local);
    return name + stamp;
}

} // namespace

SavedBackup SaveBackup(const std::filesystem::path& folder, const std::string& serialNumber,
                       const PagerImage& image) {
    const std::string name = FileNameOf(serialNumber);
    for (int n = 1; n < 1000; ++n) {
        const std::filesystem::path path =
            folder / (name + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".sav");
        FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (!fd.valid()) {
            if (errno == EEXIST) {
                continue;
            }
            return {std::nullopt, FileFailure("Cannot save", path, errno)};
        }
        int error = WriteFully(fd.get(), image.data(), image.size());
        if (error == 0 && ::fsync(fd.get()) != 0) {
            error = errno;
        }
        if (error == 0) {
            error = fd.Close();
        }
        if (error != 0) {
            // A backup cut short must not be taken for one that is whole.
            ::unlink(path.c_str());
            return {std::nullopt, FileFailure("Cannot save", path, error)};
        }
        return {path, {}};
    }
    return {std::nullopt, "Cannot save a backup in " + folder.string() +
                              ": a thousand backups of this pager in one second"};
}
