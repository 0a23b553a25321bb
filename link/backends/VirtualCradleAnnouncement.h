#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// What a virtual cradle tells the world in a small file beside its socket, so the backend can
// list it without connecting: its strings and the simulator's process id.
struct VirtualCradleAnnouncement {
    std::string serialNumber;
    std::string description;
    pid_t pid = 0;
    std::string socketName; // file name of the socket in the same folder
    // The announcement file's name without its suffix; set by the lister, not stored.
    std::string name;
};

inline constexpr std::string_view kAnnouncementSuffix = ".cradle";
inline constexpr std::string_view kSocketSuffix = ".sock";

// A cradle's name is the stem of its two files, NAME.cradle and NAME.sock.
inline constexpr std::size_t kMaxCradleNameLength = 64;
// Letters, digits, '-', '_' and '.', not starting with '.' (no hidden files, no "..") and at
// most kMaxCradleNameLength long. Returns what is wrong with the name, or nothing.
std::optional<std::string> CheckCradleName(std::string_view name);

std::string AnnouncementText(const VirtualCradleAnnouncement& announcement);
// Nothing for text that is not a complete announcement, or names a socket outside its folder.
std::optional<VirtualCradleAnnouncement> ParseAnnouncement(std::string_view text);
std::optional<VirtualCradleAnnouncement> ReadAnnouncement(const std::filesystem::path& file);

// Whether the announcing process still runs; a simulator killed outright leaves its files.
bool IsAnnouncerAlive(pid_t pid);
