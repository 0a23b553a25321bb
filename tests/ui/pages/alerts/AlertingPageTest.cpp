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
};

const int kLists[] = {CMsgAlert::kAlertLengthList,     CMsgAlert::kKeyToneList,
                      CMsgAlert::kBatteryTypeList,     CMsgAlert::kBacklightList,
                      CMsgAlert::kLowBatteryAlertList, CMsgAlert::kLowBatterySilenceList};

TEST_F(AlertingPageTest, BeforeAnyDecodeTheWindowIs0800To2200AndDisabled) {
    CMsgAlert page(environment);
    for (int id : kLists) {
        ASSERT_NE(list(page, id), nullptr);
        EXPECT_EQ(list(page, id)->currentIndex(), 0) << id;
    }
    EXPECT_EQ(list(page, CMsgAlert::kAlertLengthList)->currentText(), "Continue");
    EXPECT_EQ(on(page)->text(), "08:00");
    EXPECT_EQ(off(page)->text(), "22:00");
    EXPECT_FALSE(on(page)->isEnabled());
    EXPECT_FALSE(off(page)->isEnabled());
}

TEST_F(AlertingPageTest, AlertLengthListsSecondsWithTheOddBlanks) {
    const QStringList items = CMsgAlert::AlertLengthItems();
    ASSERT_EQ(items.size(), 100);
    EXPECT_EQ(items[0], "Continue");
    EXPECT_EQ(items[1], "1 s");
    EXPECT_EQ(items[2], "2 s ");
    EXPECT_EQ(items[3], "3 s");
    EXPECT_EQ(items[92], "92 s ");
    EXPECT_EQ(items[99], "99 s");
    EXPECT_EQ(items.filter(QRegularExpression(" $")).size(), 10);

    PagerImage image = encodedImage();
    image[35] = 12;
    decode(image);
    CMsgAlert page(environment);
    EXPECT_EQ(list(page, CMsgAlert::kAlertLengthList)->currentText(), "12 s ");
    EXPECT_EQ(storeAndEncode(page)[35], 12);
}

TEST_F(AlertingPageTest, ATimeThatIsNoTimeOfDayIsStoredAs255UnlessTheUserSetsOne) {
    PagerImage image = encodedImage();
    image[6] |= 0x04; // silence window enabled
    image[98] = 255;
    image[99] = 0;
    image[100] = 23;
    image[101] = 60;
    decode(image);
    CMsgAlert page(environment);
    EXPECT_TRUE(on(page)->isEnabled());
    EXPECT_EQ(on(page)->text(), "--:--");
    EXPECT_EQ(off(page)->text(), "--:--");
    EXPECT_EQ(Bytes(storeAndEncode(page), 98, 4), "\xFF\xFF\xFF\xFF");

    on(page)->setFocus();
    QTest::keyClicks(on(page), "0730");
    QTest::keyClick(off(page), Qt::Key_Up); // steps from 00:00
    EXPECT_EQ(Bytes(storeAndEncode(page), 98, 4), std::string("\x07\x1E\x01\x00", 4));
}

TEST_F(AlertingPageTest, DisablingTheSilenceWindowKeepsItsTimes) {
    PagerImage image = encodedImage();
    image[6] |= 0x04;
    image[98] = 6;
    image[99] = 15;
    image[100] = 23;
    image[101] = 45;
    decode(image);
    CMsgAlert page(environment);
    ASSERT_TRUE(off(page)->isEnabled());
    Choose(list(page, CMsgAlert::kBacklightList), 1);
    Choose(list(page, CMsgAlert::kLowBatterySilenceList), 0);
    EXPECT_FALSE(on(page)->isEnabled());
    EXPECT_FALSE(off(page)->isEnabled());
    EXPECT_EQ(context.settings.lowBatterySilence, 1) << "the change handler stores nothing";

    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(encoded[6] & 0x06, 0x02) << "backlight without silence";
    EXPECT_EQ(Bytes(encoded, 98, 4), std::string("\x06\x0F\x17\x2D", 4));

    Choose(list(page, CMsgAlert::kLowBatterySilenceList), 1);
    EXPECT_TRUE(on(page)->isEnabled());
}

} // namespace
