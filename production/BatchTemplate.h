#pragma once

#include "image/ImageCodec.h"
#include "image/PagerImage.h"
#include "image/PagerSettings.h"
#include "production/Assignment.h"

#include <cstdint>
#include <optional>

// What every pager of a batch is given, but for the numbers its assignment brings.
struct BatchTemplate {
    PagerSettings settings;
    // The generation it is for; nothing when a settings file names none, and then every pager
    // is programmed in its own generation.
    std::optional<Generation> mode;
    // How each capcode row is numbered.
    CapcodeRows rows{};
};

// The template of a settings file alone: its enabled rows shared.
BatchTemplate TemplateOf(PagerSettings settings, std::optional<Generation> mode);

// The image a pager of this generation receives: the template with the assignment's numbers,
// encoded as the window encodes the pages, stamped with the time given. What a write never
// sends is zero, so that its digest also names what reading the pager back gives.
PagerImage PagerImageFor(const BatchTemplate& batchTemplate, const Assignment& assignment,
                         Generation mode, const std::optional<LocalDateTime>& now,
                         PagerSettings* encodedSettings = nullptr);
