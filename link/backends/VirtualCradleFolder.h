#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

// The per-user folder where virtual cradles announce themselves: $XDG_RUNTIME_DIR/pager-cradles,
// or /tmp/pager-cradles-<uid> when the session has no runtime directory.
std::filesystem::path VirtualCradleFolder();

// Whether the folder may be trusted with our sockets: a real directory (not a link) owned by
// this user and writable by nobody else. Returns what is wrong, or nothing when it is safe.
std::optional<std::string> CheckVirtualCradleFolder(const std::filesystem::path& folder);
// The same check on what lstat returned for the folder.
std::optional<std::string> CheckVirtualCradleFolder(const std::filesystem::path& folder,
                                                    const struct stat& info);

// Creates the folder (mode 0700) when it is missing, then checks it.
std::optional<std::string> PrepareVirtualCradleFolder(const std::filesystem::path& folder);
