// Alerting: six lists and the low-battery silence window, whose times are 255 when unset.
#include "AlertPagesTestSupport.h"

#include "ui/pages/AlertingPage.h"
#include "ui/pages/TimeOfDayPicker.h"

namespace {

class AlertingPageTest : public AlertPagesTest {
protected:
    QComboBox* list(CMsgAlert& page, int id) { return Control<QComboBox>(page, id); }
    TimeOfDayPicker* on(CMsgAlert& page) {
        return Control<TimeOfDayPicker>(page, CMsgAlert::kSilenceOnPicker);
    }
    TimeOfDayPicker* off(CMsgAlert& page) {
        return Control<TimeOfDayPicker>(page, CMsgAlert::kSilenceOffPicker);
    }
    // An image with the silence window enabled and these four time bytes at 98..101.
    void decodeSilenceWindow(const std::string& times) {
        PagerImage image = encodedImage();
        image[6] |= 0x04;
        std::copy(times.begin(), times.end(), image.begin() + 98);
        decode(image);
    }
};

TEST_F(AlertingPageTest, BeforeAnyDecodeTheWindowIs0800To2200AndDisabled) {
    CMsgAlert page(environment);
    for (int id : {CMsgAlert::kAlertLengthList, CMsgAlert::kKeyToneList,
                   CMsgAlert::kBatteryTypeList, CMsgAlert::kBacklightList,
                   CMsgAlert::kLowBatteryAlertList, CMsgAlert::kLowBatterySilenceList}) {
        EXPECT_EQ(list(page, id)->currentIndex(), 0) << id;
    }
    EXPECT_EQ(list(page, CMsgAlert::kAlertLengthList)->currentText(), "Continue");
    EXPECT_EQ(on(page)->text() + off(page)->text(), "08:0022:00");
    EXPECT_FALSE(on(page)->isEnabled() || off(page)->isEnabled());
}

TEST_F(AlertingPageTest, AlertLengthListsSecondsWithTheOddBlanks) {
    const QStringList items = CMsgAlert::AlertLengthItems();
    ASSERT_EQ(items.size(), 100);
    EXPECT_EQ(items.mid(0, 4), QStringList({"Continue", "1 s", "2 s ", "3 s"}));
    EXPECT_EQ(items.mid(91, 3), QStringList({"91 s", "92 s ", "93 s"}));
    EXPECT_EQ(items.filter(QRegularExpression(" $")).size(), 10);

    PagerImage image = encodedImage();
    image[35] = 12;
    decode(image);
    CMsgAlert page(environment);
    EXPECT_EQ(list(page, CMsgAlert::kAlertLengthList)->currentText(), "12 s ");
    EXPECT_EQ(storeAndEncode(page)[35], 12);
}

TEST_F(AlertingPageTest, ATimeThatIsNoTimeOfDayIsStoredAs255UnlessTheUserSetsOne) {
    decodeSilenceWindow(std::string("\xFF\x00\x17\x3C", 4)); // 255:00 and 23:60
    CMsgAlert page(environment);
    EXPECT_TRUE(on(page)->isEnabled());
    EXPECT_EQ(on(page)->text() + off(page)->text(), "--:----:--");
    EXPECT_EQ(Bytes(storeAndEncode(page), 98, 4), "\xFF\xFF\xFF\xFF");

    QTest::keyClicks(on(page), "0730");
    QTest::keyClick(off(page), Qt::Key_Up); // steps from 00:00
    EXPECT_EQ(Bytes(storeAndEncode(page), 98, 4), std::string("\x07\x1E\x01\x00", 4));
}

TEST_F(AlertingPageTest, DisablingTheSilenceWindowKeepsItsTimes) {
    decodeSilenceWindow("\x06\x0F\x17\x2D");
    CMsgAlert page(environment);
    Choose(list(page, CMsgAlert::kBacklightList), 1);
    Choose(list(page, CMsgAlert::kLowBatterySilenceList), 0);
    EXPECT_FALSE(on(page)->isEnabled() || off(page)->isEnabled());
    EXPECT_EQ(context.settings.lowBatterySilence, 1) << "the change handler stores nothing";

    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(encoded[6] & 0x06, 0x02) << "backlight without silence";
    EXPECT_EQ(Bytes(encoded, 98, 4), "\x06\x0F\x17\x2D");
    Choose(list(page, CMsgAlert::kLowBatterySilenceList), 1);
    EXPECT_TRUE(on(page)->isEnabled());
}

} // namespace
