#pragma once

#include "image/Generation.h"
#include "image/PagerImage.h"
#include "image/PagerSettings.h"

#include <optional>
#include <string>
#include <vector>

// What write and verify take: an image file, or a settings file in the pager-image format
// (a name ending in .json).
struct PagerInput {
    std::string path;
    bool isSettings = false;
    PagerImage image{};
    PagerSettings settings;
    // The generation the input is for, when it says or the user said; otherwise the pager's.
    std::optional<Generation> mode;
    // --repair: the generation to stamp in, whatever the pager says.
    std::optional<Generation> repairMode;
};

// What a write sends, and how.
struct WriteJob {
    PagerImage image{};
    // The generation the pager in the cradle must have.
    Generation generation = Generation::V2;
    // Also write the serial-number block (256..287).
    bool writeSerialNumber = false;
    // Write whatever the pager's identity says: no identity check.
    bool repair = false;
};

// Reads and checks the input before any cradle is touched; bad input throws CradleCommandError with
// exit status 2.
PagerInput LoadPagerInput(const std::string& path, const std::optional<std::string>& mode,
                          const std::optional<std::string>& repair);

// The image to write: the image as it is, or the settings encoded as the window encodes them
// (stamped with the time now) in the input's generation, else the pager's.
WriteJob BuildWriteJob(const PagerInput& input, std::optional<Generation> pagerMode,
                       bool writeSerialNumber);

// How the pager memory differs from the input, as pager-image diff lists settings (input
// value -> pager value), over what a write covers; bytes that no setting shows are listed by
// address. The serial number counts only with withSerialNumber, as only then is it written.
std::vector<std::string> PagerDifferences(const PagerInput& input, const PagerImage& memory,
                                          Generation pagerMode, bool withSerialNumber);

// Output files, written whole or not at all; a failure throws CradleCommandError with exit
// status 2.
void SaveImageOutput(const std::string& path, const PagerImage& image);
void SaveTextOutput(const std::string& path, const std::string& text);
// Checks, before a pager is read, that each output can be written: its folder takes files, the
// name is not a folder, pipe or device, and no two outputs name the same file. Throws
// CradleCommandError with exit status 2 otherwise.
void CheckOutputs(const std::vector<std::string>& paths);

// Why the pager cannot take the input's capcodes, or nothing: a capcode 1..7 anywhere, or 0 in
// an enabled row (a pager takes 8 to 2097151; 0 marks a row not in use). Known from the input
// alone, so a write refuses before it touches the pager.
std::optional<std::string> CapcodeRefusalOf(const PagerInput& input);
