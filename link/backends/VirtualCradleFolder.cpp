#include "link/backends/VirtualCradleFolder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

std::filesystem::path VirtualCradleFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0')
        return std::filesystem::path(runtime) / "pager-cradles";
    return std::filesystem::path("/tmp") / ("pager-cradles-" + std::to_string(geteuid()));
}

std::optional<std::string> CheckVirtualCradleFolder(const std::filesystem::path& folder) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0)
        return folder.string() + ": " + std::strerror(errno);
    return CheckVirtualCradleFolder(folder, info);
}

std::optional<std::string> CheckVirtualCradleFolder(const std::filesystem::path& folder,
                                                    const struct stat& info) {
    if (!S_ISDIR(info.st_mode))
        return folder.string() + " is not a directory";
    // Someone else's folder, or one others may write into, could hold a socket that pretends
    // to be a cradle.
    if (info.st_uid != geteuid())
        return folder.string() + " belongs to another user";
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return folder.string() + " is writable by other users";
    return std::nullopt;
}

std::optional<std::string> PrepareVirtualCradleFolder(const std::filesystem::path& folder) {
    if (mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST)
        return folder.string() + ": " + std::strerror(errno);
    return CheckVirtualCradleFolder(folder);
}
