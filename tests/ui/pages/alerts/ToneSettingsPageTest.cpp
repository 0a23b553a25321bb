// Tone Settings: forty lists over the tone-type, urgent bytes of the image.
#include "AlertPagesTestSupport.h"

#include "ui/pages/ToneSettingsPage.h"

#include <QLabel>

namespace {

const QStringList kMessageTypes{"Alpha", "Numeric", "Tone", "Disable"};
const QStringList kToneChoices{"Disable", "A", "B", "C", "D", "ALL"};

class ToneSettingsPageTest : public AlertPagesTest {
protected:
    QComboBox* toneList(CAddressSet& page, int capcode, int tone) {
        return Control<QComboBox>(page, CAddressSet::FirstToneList(tone) + capcode);
    }
    QComboBox* urgentList(CAddressSet& page, int capcode) {
        return Control<QComboBox>(page, CAddressSet::kFirstUrgentList + capcode);
    }
};

TEST_F(ToneSettingsPageTest, EveryListHasItsIdAndItems) {
    CAddressSet page(environment);
    for (int n = 0; n < 8; ++n) {
        ASSERT_NE(urgentList(page, n), nullptr);
        EXPECT_EQ(Items(urgentList(page, n)), kToneChoices);
        EXPECT_FALSE(urgentList(page, n)->isEditable());
        for (int tone = 0; tone < 4; ++tone) {
            ASSERT_NE(toneList(page, n, tone), nullptr);
            EXPECT_EQ(Items(toneList(page, n, tone)), kMessageTypes);
        }
    }
    EXPECT_EQ(toneList(page, 2, 0)->accessibleDescription(), QStringLiteral("A Tone, capcode 3"));
    ASSERT_NE(Control<QLabel>(page, CAddressSet::kUrgentHeading), nullptr);
    EXPECT_EQ(Control<QLabel>(page, CAddressSet::kUrgentHeading)->text(), "Urgent");
}

TEST_F(ToneSettingsPageTest, ToneBytesAreShownAndWrittenBackUnchanged) {
    const std::uint8_t bytes[8] = {0xE4, 0x00, 0xFF, 0x1B, 0x55, 0xAA, 0x39, 0xC6};
    PagerImage image = encodedImage();
    std::copy(std::begin(bytes), std::end(bytes), image.begin() + 39);
    decode(image);
    CAddressSet page(environment);

    const QString row1[] = {"Alpha", "Numeric", "Tone", "Disable"};
    for (int tone = 0; tone < 4; ++tone) {
        EXPECT_EQ(toneList(page, 0, tone)->currentText(), row1[tone]) << "tone " << tone;
    }
    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(Bytes(encoded, 39, 8), Bytes(image, 39, 8));
}

TEST_F(ToneSettingsPageTest, ChoosingAToneTypeChangesOnlyItsBits) {
    CAddressSet page(environment);
    Choose(toneList(page, 2, 2), 2); // capcode 3, C Tone "Tone"
    Choose(toneList(page, 7, 3), 3); // capcode 8, D Tone "Disable"
    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(encoded[41], 0x20);
    EXPECT_EQ(encoded[46], 0xC0);
    EXPECT_EQ(encoded[39], 0x00);
}

TEST_F(ToneSettingsPageTest, UrgentColumnIsHiddenInV1YetStillEncoded) {
    PagerImage image = encodedImage();
    const std::uint8_t urgent[8] = {0, 1, 2, 3, 4, 5, 1, 5};
    std::copy(std::begin(urgent), std::end(urgent), image.begin() + 209);
    setMode(kModeV1);
    decode(image);
    CAddressSet page(environment);
    page.show();
    EXPECT_FALSE(Control<QLabel>(page, CAddressSet::kUrgentHeading)->isVisible());
    for (int n = 0; n < 8; ++n) {
        EXPECT_FALSE(urgentList(page, n)->isVisible());
        EXPECT_TRUE(toneList(page, n, 0)->isVisible());
    }
    EXPECT_EQ(Bytes(storeAndEncode(page), 209, 8), Bytes(image, 209, 8));

    setMode(kModeV2);
    page.loadFromSettings();
    EXPECT_TRUE(Control<QLabel>(page, CAddressSet::kUrgentHeading)->isVisible());
    EXPECT_TRUE(urgentList(page, 7)->isVisible());
    EXPECT_EQ(urgentList(page, 7)->currentText(), "ALL");
}

TEST_F(ToneSettingsPageTest, UrgentByteWithoutAnItemIsStoredAs255) {
    PagerImage image = encodedImage();
    image[209] = 7;
    image[210] = 255;
    decode(image);
    CAddressSet page(environment);
    EXPECT_EQ(urgentList(page, 0)->currentIndex(), -1);
    EXPECT_EQ(urgentList(page, 1)->currentIndex(), -1);
    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(encoded[209], 0xFF);
    EXPECT_EQ(encoded[210], 0xFF);
}

} // namespace
