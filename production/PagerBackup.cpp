#include "production/PagerBackup.h"

#include "programming/SerialNumber.h"

#include <cstdlib>
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

std::filesystem::path BackupPath(const std::filesystem::path& folder,
                                 const std::string& serialNumber) {
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
    std::filesystem::path path = folder / (name + stamp + ".sav");
    for (int n = 2; std::filesystem::exists(path); ++n) {
        path = folder / (name + stamp + "-" + std::to_string(n) + ".sav");
    }
    return path;
}
