// Alert Settings: alert type and melody share byte 47 + n; the melody list follows the stored
// alert type; choosing an alert type stores the whole page.
#include "AlertPagesTestSupport.h"

#include "ui/pages/AlertSettingsPage.h"

namespace {

class AlertSettingsPageTest : public AlertPagesTest {
protected:
    QComboBox* list(CAddressAlert& page, int firstId, int capcode) {
        return Control<QComboBox>(page, firstId + capcode);
    }
    QComboBox* alertType(CAddressAlert& page, int capcode) {
        return list(page, CAddressAlert::kFirstAlertTypeList, capcode);
    }
    QComboBox* melody(CAddressAlert& page, int capcode) {
        return list(page, CAddressAlert::kFirstMelodyList, capcode);
    }
};

TEST_F(AlertSettingsPageTest, FixEnablesTheMelodyAndATypeChangeStoresThePageAtOnce) {
    PagerImage image = encodedImage();
    image[47] = 0x25;
    decode(image);
    CAddressAlert page(environment);
    EXPECT_EQ(alertType(page, 0)->currentText(), "Fix");
    EXPECT_EQ(Items(melody(page, 0)),
              QStringList({"Silent", "1 (Standard)", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(melody(page, 0)->currentIndex(), 5);
    EXPECT_TRUE(melody(page, 0)->isEnabled());
    EXPECT_FALSE(melody(page, 1)->isEnabled());

    Choose(list(page, CAddressAlert::kFirstPriorityList, 4), 5);
    EXPECT_EQ(context.settings.priority[4], 0);
    Choose(alertType(page, 0), 1);
    EXPECT_EQ(context.settings.priority[4], 5) << "the whole page was stored";
    EXPECT_FALSE(melody(page, 0)->isEnabled());
    Choose(alertType(page, 3), 2);
    ASSERT_TRUE(melody(page, 3)->isEnabled());
    Choose(melody(page, 3), 7);
    Choose(list(page, CAddressAlert::kFirstVibrateList, 0), 1);
    Choose(list(page, CAddressAlert::kFirstVibrateList, 7), 1);
    Choose(list(page, CAddressAlert::kFirstAlertStopList, 1), 1);

    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(encoded[47], 0x15) << "the melody stays 5";
    EXPECT_EQ(encoded[50], 0x27);
    EXPECT_EQ(encoded[37], 0x81);
    EXPECT_EQ(encoded[38], 0x02);
}

TEST_F(AlertSettingsPageTest, ValuesWithoutAnItemComeBackAsTheirFieldsAllow) {
    PagerImage image = encodedImage();
    image[47] = 0x3F; // alert type 3, melody 15
    image[48] = 0xE9; // bits 7..6 ignored: "Fix", melody 9
    image[201] = 6;   // priority beyond "ALL"
    decode(image);
    CAddressAlert page(environment);
    EXPECT_EQ(alertType(page, 0)->currentIndex(), -1);
    EXPECT_FALSE(melody(page, 0)->isEnabled());
    EXPECT_TRUE(melody(page, 1)->isEnabled());
    EXPECT_EQ(melody(page, 1)->currentIndex(), -1);

    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(Bytes(encoded, 47, 2), "\x3F\x2F");
    EXPECT_EQ(encoded[201], 0xFF);
}

} // namespace
