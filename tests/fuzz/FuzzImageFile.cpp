// Loads arbitrary files as images: the image takes exactly the file's first bytes (at most
// 8192) and keeps the rest, the working file records the loaded image, the settings are its
// decode, and a saved image reads back unchanged.
#include "FuzzCheck.h"

#include "image/Generation.h"
#include "image/ImageCodec.h"
#include "image/ImageFiles.h"
#include "image/ImageLoading.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// One folder per process, removed at exit.
class ScratchFolder {
public:
    ScratchFolder()
        : path_(fs::temp_directory_path() / ("pager-fuzz-file-" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

PagerImage ReadBack(const fs::path& path) {
    PagerImage image{};
    FuzzCheck(!ReadImageFile(path, image), "cannot read back " + path.string());
    return image;
}

PagerImage Pattern() {
    PagerImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    }
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    const fs::path input = scratch.path() / "input.sav";
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    const PagerImage before = Pattern();
    PagerImage image = before;
    PagerSettings settings;
    const Generation mode = size > 0 && (data[0] & 1) ? Generation::V1 : Generation::V2;
    FuzzCheck(!LoadImageFile(input, image, settings, mode, scratch.path().string()),
              "loading a readable file failed");

    const std::size_t taken = std::min(size, kImageSize);
    FuzzCheck(std::equal(data, data + taken, image.begin()), "loaded bytes differ from the file");
    FuzzCheck(std::equal(image.begin() + static_cast<std::ptrdiff_t>(taken), image.end(),
                         before.begin() + static_cast<std::ptrdiff_t>(taken)),
              "loading changed the image beyond the file's length");
    FuzzCheck(ReadBack(WorkingFilePath(scratch.path().string())) == image,
              "the working file differs from the loaded image");
    PagerSettings decoded;
    DecodeImage(image, mode, decoded);
    FuzzCheckSameSettings(decoded, settings, "loaded settings differ from the image's decode");

    const fs::path saved = scratch.path() / "saved.sav";
    FuzzCheck(!SaveImageFile(saved, image), "saving failed");
    FuzzCheck(fs::file_size(saved) == kImageSize, "a saved file is not 8192 bytes");
    FuzzCheck(ReadBack(saved) == image, "a saved image reads back differently");
    return 0;
}
