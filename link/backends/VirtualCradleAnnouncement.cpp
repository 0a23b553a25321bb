#include "link/backends/VirtualCradleAnnouncement.h"

#include <nlohmann/json.hpp>

#include <signal.h> // NOLINT(modernize-deprecated-headers): POSIX signal calls

#include <algorithm>
#include <fstream>
#include <iterator>

std::string AnnouncementText(const VirtualCradleAnnouncement& announcement) {
    const nlohmann::json text = {
        {"serialNumber", announcement.serialNumber},
        {"description", announcement.description},
        {"pid", announcement.pid},
        {"socket", announcement.socketName},
    };
    return text.dump();
}

std::optional<VirtualCradleAnnouncement> ParseAnnouncement(std::string_view text) {
    const nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (!parsed.is_object())
        return std::nullopt;
    const auto serial = parsed.find("serialNumber");
    const auto description = parsed.find("description");
    const auto pid = parsed.find("pid");
    const auto socket = parsed.find("socket");
    if (serial == parsed.end() || !serial->is_string() || description == parsed.end() ||
        !description->is_string() || pid == parsed.end() || !pid->is_number_integer() ||
        socket == parsed.end() || !socket->is_string())
        return std::nullopt;
    VirtualCradleAnnouncement announcement;
    announcement.serialNumber = serial->get<std::string>();
    announcement.description = description->get<std::string>();
    announcement.pid = pid->get<pid_t>();
    announcement.socketName = socket->get<std::string>();
    // The socket must sit in the announcement's own folder, which we checked.
    const std::filesystem::path socketPath(announcement.socketName);
    if (announcement.pid <= 0 || socketPath.empty() || socketPath.filename() != socketPath ||
        announcement.socketName == "." || announcement.socketName == "..")
        return std::nullopt;
    return announcement;
}

std::optional<VirtualCradleAnnouncement> ReadAnnouncement(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParseAnnouncement(text);
}

std::optional<std::string> CheckCradleName(std::string_view name) {
    const std::string quoted = "cradle name \"" + std::string(name) + "\"";
    if (name.empty())
        return std::string("the cradle name is empty");
    if (name.size() > kMaxCradleNameLength)
        return quoted + " is longer than " + std::to_string(kMaxCradleNameLength) + " characters";
    if (name.front() == '.')
        return quoted + " starts with '.'";
    // ASCII only, whatever the locale: the name becomes a file name and part of a cradle id.
    const bool allowed = std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
    if (!allowed)
        return quoted + ": only letters, digits, '-', '_' and '.' are allowed";
    return std::nullopt;
}

bool IsAnnouncerAlive(pid_t pid) {
    // A process we may not signal belongs to another user, so it is not the simulator that
    // wrote into our folder: its pid was reused.
    return kill(pid, 0) == 0;
}
