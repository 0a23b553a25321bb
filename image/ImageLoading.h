#pragma once

#include "image/Generation.h"
#include "image/ImageFiles.h"
#include "image/PagerImage.h"
#include "image/PagerSettings.h"

#include <cstdint>
#include <filesystem>
#include <string>

// Decodes the image into the settings, then rewrites the working file, as every decode does.
void DecodeImageAndRecord(const PagerImage& image, Generation generation, PagerSettings& settings,
                          const std::string& workingDirectory);

// Loads an image file: reads it into the image (a short file leaves the rest as it was),
// writes the working file, decodes and writes the working file again. A file that cannot be
// read changes nothing and touches no file.
FileError LoadImageFile(const std::filesystem::path& path, PagerImage& image,
                        PagerSettings& settings, Generation generation,
                        const std::string& workingDirectory);

// The same for "default.sav" in the current directory; false when it cannot be read.
bool LoadStartupImage(PagerImage& image, PagerSettings& settings, Generation generation,
                      const std::string& workingDirectory);
