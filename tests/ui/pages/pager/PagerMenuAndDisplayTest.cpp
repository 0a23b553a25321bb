#include "PagerPagesTestSupport.h"

#include "ui/pages/DisplayPage.h"
#include "ui/pages/PagerMenuPage.h"

namespace {

class PagerMenuPageTest : public PagerPagesTest {};

TEST_F(PagerMenuPageTest, AlertMenuBoxIsHiddenAndForcedOnInV1Mode) {
    struct Case {
        Generation mode;
        bool visible;
        bool encodedBit;
    };
    for (const Case& c : {Case{Generation::V1, false, true}, Case{Generation::V2, true, false}}) {
        SCOPED_TRACE(c.mode == Generation::V1 ? "V1" : "V2");
        PagerImage image = BaseImage(c.mode);
        SetBit(image, 7, 6, false);
        decode(image, c.mode);
        auto page = open<CMenuSet>();
        QCheckBox* alertMenu = Box(*page, CMenuSet::kAlertMenuBox);
        EXPECT_EQ(alertMenu->isVisible(), c.visible);
        EXPECT_EQ(alertMenu->isChecked(), !c.visible);
        Choose(List(*page, CMenuSet::kZoomList), QStringLiteral("ZOOM 3 (2/4 Line Bold)"));
        const PagerImage stored = storeAndEncode(*page);
        EXPECT_EQ(Bit(stored, 7, 6), c.encodedBit);
        EXPECT_EQ(stored[31], 2);
    }
}

// Each box reaches its own bit and no other; "Enable turn off pager" is stored inverted.
TEST_F(PagerMenuPageTest, EachBoxWritesItsOwnBit) {
    const BoxBit boxes[] = {
        {CMenuSet::kNotebookBox, 7, 0},     {CMenuSet::kMessageAlarmBox, 7, 1},
        {CMenuSet::kLockMessageBox, 7, 2},  {CMenuSet::kSetTimeBox, 7, 3},
        {CMenuSet::kSelectZoomBox, 7, 4},   {CMenuSet::kPrivateTimeBox, 7, 5},
        {CMenuSet::kAlertMenuBox, 7, 6},    {CMenuSet::kVibrateModeBox, 8, 6},
        {CMenuSet::kTurnOffPagerBox, 9, 2},
    };
    PagerImage start = BaseImage(Generation::V2);
    SetBit(start, 7, 3, true); // set time on, so its dependents can be clicked
    expectEachBoxFlipsOnlyItsBit<CMenuSet>(start, boxes, {7, 8, 9});
}

TEST_F(PagerMenuPageTest, SetTimeGreysItsDependentsAndKeepsTheirMarks) {
    PagerImage image = BaseImage(Generation::V2);
    for (int bit : {1, 3, 5}) {
        SetBit(image, 7, bit, true);
    }
    decode(image, Generation::V2);
    auto page = open<CMenuSet>();
    QCheckBox* privateTime = Box(*page, CMenuSet::kPrivateTimeBox);
    QCheckBox* messageAlarm = Box(*page, CMenuSet::kMessageAlarmBox);
    EXPECT_TRUE(privateTime->isEnabled());
    EXPECT_TRUE(messageAlarm->isEnabled());

    Click(Box(*page, CMenuSet::kSetTimeBox));
    EXPECT_EQ(context.settings.menuSetTime, 0) << "stored at once";
    EXPECT_FALSE(privateTime->isEnabled());
    EXPECT_FALSE(messageAlarm->isEnabled());
    EXPECT_TRUE(privateTime->isChecked());
    EXPECT_TRUE(messageAlarm->isChecked());
    const PagerImage stored = storeAndEncode(*page);
    EXPECT_FALSE(Bit(stored, 7, 3));
    EXPECT_TRUE(Bit(stored, 7, 1));
    EXPECT_TRUE(Bit(stored, 7, 5));

    Click(Box(*page, CMenuSet::kSetTimeBox));
    EXPECT_EQ(context.settings.menuSetTime, 1);
    EXPECT_TRUE(privateTime->isEnabled());
    EXPECT_TRUE(messageAlarm->isEnabled());

    // A load follows the settings, not the box's last state.
    context.settings.menuSetTime = 0;
    page->loadFromSettings();
    EXPECT_FALSE(privateTime->isEnabled());
}

class DisplayPageTest : public PagerPagesTest {};

TEST_F(DisplayPageTest, LanguageByteIsCodedByMode) {
    struct Case {
        Generation mode;
        QStringList items;
        QString shown;
        std::uint8_t reencoded;
    };
    const QStringList v1{"ENGLISH", "FRENCH", "SPANISH", "GERMAN"};
    const Case cases[] = {
        {Generation::V1, v1, QStringLiteral("SPANISH"), 8},
        {Generation::V2, v1 + QStringList{"CZECH", "SWEDISH"}, QString(), 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode == Generation::V1 ? "V1" : "V2");
        PagerImage image = BaseImage(c.mode);
        image[10] = 8;
        decode(image, c.mode);
        auto page = open<CDisplaySet>();
        QComboBox* language = List(*page, CDisplaySet::kLanguageList);
        EXPECT_EQ(Items(language), c.items);
        EXPECT_EQ(Shown(language), c.shown);
        EXPECT_EQ(storeAndEncode(*page)[10], c.reencoded);
    }
}

// "CZECH" still held after the write procedure switched to V1 mode without a decode.
TEST_F(DisplayPageTest, LanguageWithoutAV1ItemIsWrittenAsEnglish) {
    PagerImage image = BaseImage(Generation::V2);
    image[10] = 4;
    decode(image, Generation::V2);
    auto page = open<CDisplaySet>();
    EXPECT_EQ(Shown(List(*page, CDisplaySet::kLanguageList)), QStringLiteral("CZECH"));
    setMode(Generation::V1);
    page->loadFromSettings();
    EXPECT_EQ(Shown(List(*page, CDisplaySet::kLanguageList)), QString());
    EXPECT_EQ(storeAndEncode(*page)[10], 0);
    EXPECT_EQ(context.settings.language, 255);
}

TEST_F(DisplayPageTest, PowerOnCapcodesBitMeansOppositeThingsByMode) {
    struct Case {
        Generation mode;
        QString shown;
    };
    for (const Case& c : {Case{Generation::V1, QStringLiteral("Enable")},
                          Case{Generation::V2, QStringLiteral("Disable")}}) {
        SCOPED_TRACE(c.mode == Generation::V1 ? "V1" : "V2");
        PagerImage image = BaseImage(c.mode);
        SetBit(image, 6, 0, true);
        decode(image, c.mode);
        auto page = open<CDisplaySet>();
        EXPECT_EQ(Shown(List(*page, CDisplaySet::kPowerOnCapcodesList)), c.shown);
        EXPECT_TRUE(Bit(storeAndEncode(*page), 6, 0));

        const QString other = c.shown == QStringLiteral("Enable") ? QStringLiteral("Disable")
                                                                  : QStringLiteral("Enable");
        Choose(List(*page, CDisplaySet::kPowerOnCapcodesList), other);
        EXPECT_FALSE(Bit(storeAndEncode(*page), 6, 0));
    }
}

TEST_F(DisplayPageTest, StoredMessagesAreHiddenInV1ModeYetKept) {
    for (Generation mode : {Generation::V1, Generation::V2}) {
        SCOPED_TRACE(mode == Generation::V1 ? "V1" : "V2");
        PagerImage image = BaseImage(mode);
        image[96] = 50;
        decode(image, mode);
        auto page = open<CDisplaySet>();
        QComboBox* stored = List(*page, CDisplaySet::kStoredMessagesList);
        EXPECT_EQ(stored->isVisible(), mode == Generation::V2);
        EXPECT_EQ(Control<QLabel>(*page, CDisplaySet::kStoredMessagesCaption)->isVisible(),
                  mode == Generation::V2);
        EXPECT_EQ(Shown(stored), QStringLiteral("50"));
        EXPECT_EQ(storeAndEncode(*page)[96], 50);
    }
}

TEST_F(DisplayPageTest, ContrastAndDateFormatReachTheirBytes) {
    decode(BaseImage(Generation::V2), Generation::V2);
    auto page = open<CDisplaySet>();
    QComboBox* contrast = List(*page, CDisplaySet::kContrastList);
    EXPECT_EQ(contrast->count(), 16);
    EXPECT_EQ(contrast->itemText(0), QStringLiteral("1"));
    Choose(contrast, QStringLiteral("16"));
    Choose(List(*page, CDisplaySet::kDateFormatList), QStringLiteral("MM/DD"));
    const PagerImage stored = storeAndEncode(*page);
    EXPECT_EQ(stored[12], 15);
    EXPECT_TRUE(Bit(stored, 4, 2));
}

} // namespace
