#pragma once

#include "image/PagerImage.h"
#include "image/RegularFiles.h"

#include <filesystem>
#include <span>
#include <string>

// Raw 8192-byte image files. Errors come back as a text a user can read; nullopt is success.

// Reads up to 8192 bytes from the start of the file into the image; a shorter file leaves the
// rest of the image as it was. Anything but a regular file is refused without waiting on it.
FileError ReadImageFile(const std::filesystem::path& path, PagerImage& image);

// Whether a save waits until the file has reached the disk.
enum class SaveDurability { Flushed, Unflushed };

// Writes exactly 8192 bytes. The file is written beside the target, flushed (unless asked not
// to) and renamed over it, so a failure never leaves a half-written file and the old file
// survives. A symbolic link is followed and its target replaced, so the link stays a link. In a
// folder that takes no new file, an existing file we may write is overwritten in place instead
// (flushed likewise). An existing pipe, device or folder is refused.
FileError SaveImageFile(const std::filesystem::path& path, const PagerImage& image,
                        SaveDurability durability = SaveDurability::Flushed);

// The same for any file's whole contents, such as a settings file.
FileError SaveFileContents(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                           SaveDurability durability = SaveDurability::Flushed);

// The working file "TempData.sav" in the working directory.
std::filesystem::path WorkingFilePath(const std::string& workingDirectory);

// Rewrites the working file; failures are silent because nothing ever reads it back. It is not
// flushed: it is rewritten on the window's thread after every read and load, where waiting for
// the disk would stall the window, and losing it in a power cut loses nothing.
void WriteWorkingFile(const std::string& workingDirectory, const PagerImage& image);

inline constexpr const char* kStartupImageName = "default.sav";
