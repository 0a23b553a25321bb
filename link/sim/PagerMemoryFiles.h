#pragma once

#include "image/ImageFiles.h"
#include "link/sim/PagerStream.h"

#include <cstdint>
#include <filesystem>
#include <string>

// Keeps the memory of each pager of a stream in a file of its own, DIR/pager-0001.sav for the
// first, so a test can hold every pager that passed against what the host says it wrote.
class PagerMemoryFiles {
public:
    explicit PagerMemoryFiles(std::filesystem::path folder);

    static std::string FileName(std::uint32_t pager);
    std::filesystem::path PathFor(std::uint32_t pager) const;

    // Writes the pager's memory when it is seated or written; a removal leaves its file as the
    // last write made it. Files are replaced whole, never seen half written.
    FileError Record(const PagerEvent& event) const;

private:
    std::filesystem::path folder_;
};
