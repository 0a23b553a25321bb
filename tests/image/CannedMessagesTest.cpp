// Canned messages: attribute bytes at 128..159 and 128-byte texts at 1024..5119.
#include "ImageTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(CannedAttributes, EnableAppendAndTone) {
    PagerSettings settings;
    settings.cannedEnabled[5] = 1;
    settings.cannedTone[5] = 3;
    settings.cannedEnabled[0] = 1;
    settings.cannedAppend[0] = 1;
    settings.cannedAppend[31] = 9; // any non-zero value sets the flag
    const PagerImage image = EncodeFor(settings, Generation::V2);
    EXPECT_EQ(image[133], 0x83);
    EXPECT_EQ(image[128], 0xC0);
    EXPECT_EQ(image[159], 0x40);
    EXPECT_EQ(image[129], 0x00);

    PagerImage all = image;
    all[140] = 0xFF; // bits 4 and 5 are ignored
    const PagerSettings decoded = DecodeFrom(all, Generation::V2);
    EXPECT_EQ(decoded.cannedEnabled[12], 1);
    EXPECT_EQ(decoded.cannedAppend[12], 1);
    EXPECT_EQ(decoded.cannedTone[12], 15);
    EXPECT_EQ(EncodeFor(decoded, Generation::V2)[140], 0xCF);
}

TEST(CannedTexts, CopiedWholeWithTheLastByteCleared) {
    const PagerImage source = RandomImage(7, 1); // no zero bytes anywhere
    PagerSettings settings = DecodeFrom(source, Generation::V2);
    for (int m = 0; m < 32; ++m) {
        EXPECT_TRUE(std::equal(settings.cannedMessages[m].begin(), settings.cannedMessages[m].end(),
                               source.begin() + 1024 + std::ptrdiff_t{128} * m));
    }
    PagerImage image{};
    EncodeImage(settings, Generation::V2, kTestTime, image);
    for (int m = 0; m < 32; ++m) {
        const std::size_t start = 1024 + 128 * static_cast<std::size_t>(m);
        EXPECT_EQ(Bytes(image, start, 127), Bytes(source, start, 127)) << "message " << m;
        EXPECT_EQ(image[start + 127], 0);
        EXPECT_EQ(settings.cannedMessages[m][127], 0);
    }
    EXPECT_EQ(image[5119], 0);
}

TEST(CannedTexts, LineBreaksAndHighBytesArePlainBytes) {
    PagerSettings settings;
    const std::string text = "Call\r\nbase \x1A\xE9";
    std::copy(text.begin(), text.end(), settings.cannedMessages[31].begin());
    const PagerImage image = EncodeFor(settings, Generation::V2);
    EXPECT_EQ(Bytes(image, 4992, text.size() + 1), text + '\0');
    EXPECT_EQ(DecodeFrom(image, Generation::V2).cannedMessages[31], settings.cannedMessages[31]);
}

} // namespace
