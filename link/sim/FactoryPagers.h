#pragma once

#include "image/PagerImage.h"

// Pagers as they might come out of the box, for the simulated cradle.
enum class FactoryPager {
    V1,
    V2,
    None, // an empty cradle: the memory reads as 0xFF, which is no valid identity
};

// Identity in bytes 0..3 and plausible settings: two enabled capcodes, a serial number, a
// frequency, canned message texts. The areas the tool never transfers (320..1023 and
// 5120..8191) hold a non-zero pattern, so a test can tell whether they were copied.
PagerImage MakeFactoryPager(FactoryPager kind);
