#include "production/BatchTemplate.h"

#include "programming/transfer/BlockRegions.h"

BatchTemplate TemplateOf(PagerSettings settings, std::optional<Generation> mode) {
    const CapcodeRows rows = TemplateRows(settings);
    return {std::move(settings), mode, rows};
}

PagerImage PagerImageFor(const BatchTemplate& batchTemplate, const Assignment& assignment,
                         Generation mode, const std::optional<LocalDateTime>& now,
                         PagerSettings* encodedSettings) {
    PagerSettings settings = ApplyAssignment(batchTemplate.settings, batchTemplate.rows, assignment);
    PagerImage encoded{};
    EncodeImage(settings, mode, now, encoded);
    PagerImage image{};
    for (const BlockRegion& region : WrittenRegions(true)) {
        const auto begin = encoded.begin() + region.start;
        std::copy(begin, begin + region.blocks * kBlockSize, image.begin() + region.start);
    }
    if (encodedSettings != nullptr) {
        *encodedSettings = std::move(settings);
    }
    return image;
}
