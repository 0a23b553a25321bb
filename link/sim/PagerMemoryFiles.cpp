#include "link/sim/PagerMemoryFiles.h"

#include <cstdio>

PagerMemoryFiles::PagerMemoryFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::string PagerMemoryFiles::FileName(std::uint32_t pager) {
    char name[32];
    std::snprintf(name, sizeof name, "pager-%04u.sav", static_cast<unsigned>(pager));
    return name;
}

std::filesystem::path PagerMemoryFiles::PathFor(std::uint32_t pager) const {
    return folder_ / FileName(pager);
}

FileError PagerMemoryFiles::Record(const PagerEvent& event) const {
    if (event.kind == PagerEventKind::Removed)
        return std::nullopt;
    // Not flushed: the files are rewritten after every block, on the thread that answers the
    // host, and they only have to outlive the host, not a power cut.
    return SaveImageFile(PathFor(event.pager), event.memory, SaveDurability::Unflushed);
}
