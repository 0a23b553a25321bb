#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The folder of backups made before writes: $XDG_STATE_HOME/pager-programmer/backups, else
// ~/.local/state/pager-programmer/backups; nothing when neither variable says where home is.
std::optional<std::filesystem::path> DefaultBackupFolder();

// A new file name in the folder for a backup of the pager with this serial number:
// "<serial>-<YYYYMMDD-HHMMSS>.sav" in local time, with anything that does not belong in a file
// name replaced, "no-serial" for a blank one, and a number added when the name is taken.
std::filesystem::path BackupPath(const std::filesystem::path& folder,
                                 const std::string& serialNumber);
