#pragma once

#include "image/PagerImage.h"

#include <filesystem>
#include <optional>
#include <string>

// The folder of backups made before writes: $XDG_STATE_HOME/pager-programmer/backups, else
// ~/.local/state/pager-programmer/backups; nothing when neither variable says where home is.
std::optional<std::filesystem::path> DefaultBackupFolder();

// Makes the folder (and its parents) when missing and checks that new files can be made in it;
// otherwise what is wrong, in words that name the folder. Before a pager is touched.
std::optional<std::string> PrepareBackupFolder(const std::filesystem::path& folder);

// Where a backup went, or why it did not.
struct SavedBackup {
    std::optional<std::filesystem::path> path;
    std::string error;
};

// Saves the image as a new file in the folder: "<serial>-<YYYYMMDD-HHMMSS>.sav" in local
// time, with anything that does not belong in a file name replaced, "no-serial" for a blank
// serial, and "-2", "-3"... added while the name is taken. The file is created exclusively, so
// two backups made at once (two cradles, one serial, one second) never replace each other, and
// flushed to the disk before the write it protects begins.
SavedBackup SaveBackup(const std::filesystem::path& folder, const std::string& serialNumber,
                       const PagerImage& image);
