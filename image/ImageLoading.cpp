#include "image/ImageLoading.h"

#include "image/ImageCodec.h"

void DecodeImageAndRecord(const PagerImage& image, Generation generation, PagerSettings& settings,
                          const std::string& workingDirectory) {
    DecodeImage(image, generation, settings);
    WriteWorkingFile(workingDirectory, image);
}

FileError LoadImageFile(const std::filesystem::path& path, PagerImage& image,
                        PagerSettings& settings, Generation generation,
                        const std::string& workingDirectory) {
    if (FileError error = ReadImageFile(path, image)) {
        return error;
    }
    WriteWorkingFile(workingDirectory, image);
    DecodeImageAndRecord(image, generation, settings, workingDirectory);
    return std::nullopt;
}

bool LoadStartupImage(PagerImage& image, PagerSettings& settings, Generation generation,
                      const std::string& workingDirectory) {
    return !LoadImageFile(kStartupImageName, image, settings, generation, workingDirectory);
}
