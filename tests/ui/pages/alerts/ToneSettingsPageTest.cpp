// Tone Settings: tone types packed two bits per tone at 39 + n, urgent tones at 209 + n.
#include "AlertPagesTestSupport.h"

#include "ui/pages/ToneSettingsPage.h"

#include <QLabel>

namespace {

class ToneSettingsPageTest : public AlertPagesTest {
protected:
    QComboBox* toneList(CAddressSet& page, int capcode, int tone) {
        return Control<QComboBox>(page, CAddressSet::FirstToneList(tone) + capcode);
    }
    QComboBox* urgentList(CAddressSet& page, int capcode) {
        return Control<QComboBox>(page, CAddressSet::kFirstUrgentList + capcode);
    }
};

TEST_F(ToneSettingsPageTest, ToneBytesAreShownAndWrittenBackUnchanged) {
    PagerImage image = encodedImage();
    const std::string tones("\xE4\x00\xFF\x1B\x55\xAA\x39\xC6", 8);
    std::copy(tones.begin(), tones.end(), image.begin() + 39);
    decode(image);
    CAddressSet page(environment);
    for (int tone = 0; tone < 4; ++tone) {
        EXPECT_EQ(Items(toneList(page, 0, tone)),
                  QStringList({"Alpha", "Numeric", "Tone", "Disable"}));
        EXPECT_EQ(toneList(page, 0, tone)->currentIndex(), tone);
    }
    EXPECT_EQ(toneList(page, 2, 0)->accessibleDescription(), "A Tone, capcode 3");
    Choose(toneList(page, 1, 2), 2);
    EXPECT_EQ(Bytes(storeAndEncode(page), 39, 8), "\xE4\x20\xFF\x1B\x55\xAA\x39\xC6");
}

TEST_F(ToneSettingsPageTest, UrgentColumnIsHiddenInV1YetEncodedAndUnknownValuesGive255) {
    PagerImage image = encodedImage();
    const std::string urgent = "\x07\x01\x02\x03\x04\x05\xFF\x05";
    std::copy(urgent.begin(), urgent.end(), image.begin() + 209);
    context.state.programmingMode = Generation::V1;
    decode(image);
    CAddressSet page(environment);
    page.show();
    EXPECT_FALSE(Control<QLabel>(page, CAddressSet::kUrgentHeading)->isVisible());
    EXPECT_FALSE(urgentList(page, 3)->isVisible());
    EXPECT_TRUE(toneList(page, 3, 0)->isVisible());
    EXPECT_EQ(urgentList(page, 0)->currentIndex(), -1);
    EXPECT_EQ(Bytes(storeAndEncode(page), 209, 8), "\xFF\x01\x02\x03\x04\x05\xFF\x05");

    context.state.programmingMode = Generation::V2;
    page.loadFromSettings();
    EXPECT_TRUE(Control<QLabel>(page, CAddressSet::kUrgentHeading)->isVisible());
    EXPECT_EQ(Items(urgentList(page, 7)), QStringList({"Disable", "A", "B", "C", "D", "ALL"}));
    EXPECT_EQ(urgentList(page, 7)->currentText(), "ALL");
}

} // namespace
