#include "image/ImageLoading.h"

#include "image/ImageCodec.h"

void DecodeImageAndRecord(const PagerImage& image, std::uint8_t mode, PagerSettings& settings,
                          const std::string& workingDirectory) {
    DecodeImage(image, mode, settings);
    WriteWorkingFile(workingDirectory, image);
}

FileError LoadImageFile(const std::filesystem::path& path, PagerImage& image,
                        PagerSettings& settings, std::uint8_t mode,
                        const std::string& workingDirectory) {
    if (FileError error = ReadImageFile(path, image)) {
        return error;
    }
    WriteWorkingFile(workingDirectory, image);
    DecodeImageAndRecord(image, mode, settings, workingDirectory);
    return std::nullopt;
}

bool LoadStartupImage(PagerImage& image, PagerSettings& settings, std::uint8_t mode,
                      const std::string& workingDirectory) {
    return !LoadImageFile(kStartupImageName, image, settings, mode, workingDirectory);
}
