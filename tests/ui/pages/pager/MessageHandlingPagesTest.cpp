#include "PagerPagesTestSupport.h"

#include "ui/pages/DuplicateMessagesPage.h"
#include "ui/pages/MessageSettingsPage.h"
#include "ui/pages/OutOfRangePage.h"
#include "ui/pages/UnreadMessagesPage.h"

#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

const char* ModeName(Generation mode) {
    return mode == Generation::V1 ? "V1" : "V2";
}

class UnreadMessagesPageTest : public PagerPagesTest {};

// The alert byte is seconds in V1 mode and an index in V2 mode; the times byte is tens.
TEST_F(UnreadMessagesPageTest, AlertAndTimesBytes) {
    struct Case {
        Generation mode;
        std::uint8_t byte18;
        std::uint8_t byte19;
        QString alert;
        QString times;
        std::uint8_t alertStored;
        std::uint8_t timesStored;
    };
    const Case cases[] = {
        {Generation::V1, 60, 255, QStringLiteral("Enable/1Min"), QStringLiteral("250"), 60, 250},
        {Generation::V1, 45, 15, QStringLiteral("Disable"), QStringLiteral("10"), 0, 10},
        {Generation::V2, 7, 0, QStringLiteral("Enable/15Min"), QStringLiteral("Continue"), 7, 0},
        // Index 60 has no item: no selection, which is not "Disable".
        {Generation::V2, 60, 20, QString(), QStringLiteral("20"), 255, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(ModeName(c.mode)) + " byte " + std::to_string(c.byte18));
        PagerImage image = BaseImage(c.mode);
        image[18] = c.byte18;
        image[19] = c.byte19;
        decode(image, c.mode);
        auto page = open<CUnreadSet>();
        EXPECT_EQ(Shown(List(*page, CUnreadSet::kAlertList)), c.alert);
        EXPECT_EQ(Shown(List(*page, CUnreadSet::kAlertTimesList)), c.times);
        EXPECT_EQ(List(*page, CUnreadSet::kAlertTimesList)->isEnabled(), c.alertStored != 0);
        const PagerImage stored = storeAndEncode(*page);
        EXPECT_EQ(stored[18], c.alertStored);
        EXPECT_EQ(stored[19], c.timesStored);
    }
}

TEST_F(UnreadMessagesPageTest, ChoosingTheAlertStoresAtOnceAndGreysTheTimes) {
    PagerImage image = BaseImage(Generation::V1);
    image[18] = 30;
    decode(image, Generation::V1);
    auto page = open<CUnreadSet>();
    QComboBox* times = List(*page, CUnreadSet::kAlertTimesList);
    Choose(List(*page, CUnreadSet::kAlertList), QStringLiteral("Disable"));
    EXPECT_EQ(context.settings.unreadAlert, 0);
    EXPECT_FALSE(times->isEnabled());
    // Keyboard navigation on the list is a user's choice too.
    QTest::keyClick(List(*page, CUnreadSet::kAlertList), Qt::Key_Down);
    EXPECT_EQ(context.settings.unreadAlert, 1);
    EXPECT_TRUE(times->isEnabled());
    EXPECT_EQ(storeAndEncode(*page)[18], 15);
}

class DuplicateMessagesPageTest : public PagerPagesTest {
protected:
    static PagerImage NotCheckImage(std::uint8_t window) {
        PagerImage image = BaseImage(Generation::V2);
        SetBit(image, 8, 5, true);
        SetBit(image, 9, 4, true);
        image[11] = window;
        return image;
    }
};

// The window read from the image is written once more, then the list falls back to "Disable".
TEST_F(DuplicateMessagesPageTest, NotCheckStoresTheWindowThenResetsIt) {
    decode(NotCheckImage(180), Generation::V2);
    auto page = open<CRepeatSet>();
    QComboBox* checking = List(*page, CRepeatSet::kCheckingList);
    EXPECT_EQ(Shown(List(*page, CRepeatSet::kBehaviourList)), QStringLiteral("Not check"));
    EXPECT_EQ(Shown(checking), QStringLiteral("Enable/3Min"));
    EXPECT_FALSE(checking->isEnabled());
    EXPECT_FALSE(Control<QLabel>(*page, CRepeatSet::kCheckingCaption)->isEnabled());

    const PagerImage first = storeAndEncode(*page);
    EXPECT_EQ(first[11], 180);
    EXPECT_TRUE(Bit(first, 8, 5));
    EXPECT_TRUE(Bit(first, 9, 4));
    EXPECT_EQ(Shown(checking), QStringLiteral("Disable"));
    EXPECT_EQ(context.settings.duplicateCheckWindow, 3);
    EXPECT_EQ(storeAndEncode(*page)[11], 0);
}

TEST_F(DuplicateMessagesPageTest, ChoosingNotCheckResetsTheListButNotTheSetting) {
    PagerImage image = BaseImage(Generation::V2);
    image[11] = 130;
    decode(image, Generation::V2);
    auto page = open<CRepeatSet>();
    QComboBox* checking = List(*page, CRepeatSet::kCheckingList);
    EXPECT_EQ(Shown(checking), QStringLiteral("Enable/2Min"));

    Choose(List(*page, CRepeatSet::kBehaviourList), QStringLiteral("Not check"));
    EXPECT_EQ(context.settings.duplicateBehaviour, 2) << "stored at once";
    EXPECT_EQ(Shown(checking), QStringLiteral("Disable"));
    EXPECT_FALSE(checking->isEnabled());
    EXPECT_EQ(context.settings.duplicateCheckWindow, 2);

    Choose(List(*page, CRepeatSet::kBehaviourList), QStringLiteral("Save as new"));
    EXPECT_TRUE(checking->isEnabled());
    Choose(checking, QStringLiteral("Enable/2Min"));
    const PagerImage stored = storeAndEncode(*page);
    EXPECT_EQ(stored[11], 120);
    EXPECT_TRUE(Bit(stored, 8, 5));
    EXPECT_FALSE(Bit(stored, 9, 4));
}

// Enter on this page must not reach the window's default button (the main window's "Exit").
TEST_F(DuplicateMessagesPageTest, SwallowsEnterLikeItsSisterPages) {
    QDialog window;
    auto* column = new QVBoxLayout(&window);
    auto* page = new CRepeatSet(environment, &window);
    column->addWidget(page);
    auto* exit = new QPushButton(QStringLiteral("Exit"), &window);
    exit->setDefault(true);
    column->addWidget(exit);
    window.show();
    QSignalSpy exitClicked(exit, &QPushButton::clicked);
    QComboBox* behaviour = List(*page, CRepeatSet::kBehaviourList);
    QTest::keyClick(behaviour, Qt::Key_Return);
    QTest::keyClick(behaviour, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(exitClicked.count(), 0);
}

class OutOfRangePageTest : public PagerPagesTest {};

const int kDetailLists[] = {COORSet::kBeepList, COORSet::kVibrateList, COORSet::kIntervalList,
                            COORSet::kIconModeList, COORSet::kTextList};
const int kDetailCaptions[] = {COORSet::kBeepCaption, COORSet::kVibrateCaption,
                               COORSet::kIntervalCaption, COORSet::kIconModeCaption,
                               COORSet::kTextCaption};

TEST_F(OutOfRangePageTest, DisabledFunctionGreysTheDetailsWhichStillReachTheImage) {
    PagerImage image = BaseImage(Generation::V2);
    image[5] = 0x0F; // text, beep, vibrate, icon mode all on
    image[21] = 10;
    decode(image, Generation::V2);
    auto page = open<COORSet>();
    Choose(List(*page, COORSet::kFunctionList), QStringLiteral("Disable"));
    EXPECT_EQ(context.settings.outOfRangeFunction, 1) << "stored at once";
    for (int id : kDetailLists) {
        EXPECT_FALSE(List(*page, id)->isEnabled()) << id;
    }
    for (int id : kDetailCaptions) {
        EXPECT_FALSE(Control<QLabel>(*page, id)->isEnabled()) << id;
    }
    const PagerImage stored = storeAndEncode(*page);
    EXPECT_TRUE(Bit(stored, 7, 7));
    EXPECT_EQ(stored[5] & 0x0F, 0x0F);
    EXPECT_EQ(stored[21], 10);

    Choose(List(*page, COORSet::kFunctionList), QStringLiteral("Enable"));
    EXPECT_TRUE(List(*page, COORSet::kIntervalList)->isEnabled());
}

TEST_F(OutOfRangePageTest, V1ModeShowsOnlyTheFunctionYetStoresTheDetails) {
    for (Generation mode : {Generation::V1, Generation::V2}) {
        SCOPED_TRACE(ModeName(mode));
        PagerImage image = BaseImage(mode);
        image[5] = 0x0A; // beep and icon mode
        image[21] = 0;   // an interval without an item
        decode(image, mode);
        auto page = open<COORSet>();
        EXPECT_TRUE(List(*page, COORSet::kFunctionList)->isVisible());
        for (int id : kDetailLists) {
            EXPECT_EQ(List(*page, id)->isVisible(), mode == Generation::V2) << id;
        }
        for (int id : kDetailCaptions) {
            EXPECT_EQ(Control<QLabel>(*page, id)->isVisible(), mode == Generation::V2) << id;
        }
        EXPECT_EQ(Shown(List(*page, COORSet::kIntervalList)), QString());
        const PagerImage stored = storeAndEncode(*page);
        EXPECT_EQ(stored[5] & 0x0F, 0x0A);
        EXPECT_EQ(stored[21], 0);
    }
}

// Each detail list reaches its own bit of byte 5, the interval byte 21.
TEST_F(OutOfRangePageTest, EachDetailWritesItsOwnBits) {
    struct Case {
        int id;
        QString item;
        int address;
        std::uint8_t mask;
        std::uint8_t value;
    };
    const Case cases[] = {
        {COORSet::kTextList, QStringLiteral("Enable"), 5, 0x0F, 0x01},
        {COORSet::kBeepList, QStringLiteral("Enable"), 5, 0x0F, 0x02},
        {COORSet::kVibrateList, QStringLiteral("Enable"), 5, 0x0F, 0x04},
        {COORSet::kIconModeList, QStringLiteral("Show icon when in range"), 5, 0x0F, 0x08},
        {COORSet::kIntervalList, QStringLiteral("10 Minutes"), 21, 0xFF, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        decode(BaseImage(Generation::V2), Generation::V2);
        auto page = open<COORSet>();
        Choose(List(*page, c.id), c.item);
        EXPECT_EQ(storeAndEncode(*page)[c.address] & c.mask, c.value);
    }
}

class MessageSettingsPageTest : public PagerPagesTest {};

// An order beyond the V1 list (or none at all) becomes "New->No.1" at load, before any store.
TEST_F(MessageSettingsPageTest, V1LoadClampsTheOrderAtOnce) {
    for (std::uint8_t order : {std::uint8_t{2}, std::uint8_t{255}}) {
        SCOPED_TRACE(order);
        setMode(Generation::V1);
        context.settings.messageNumberOrder = order;
        auto page = open<CSPF>();
        EXPECT_EQ(Shown(List(*page, CSPF::kOrderList)), QStringLiteral("New->No.1"));
        EXPECT_EQ(context.settings.messageNumberOrder, 0);
    }
    setMode(Generation::V2);
    context.settings.messageNumberOrder = 2;
    auto page = open<CSPF>();
    EXPECT_EQ(Shown(List(*page, CSPF::kOrderList)), QStringLiteral("Oldest->No.1"));
    EXPECT_EQ(context.settings.messageNumberOrder, 2);
}

TEST_F(MessageSettingsPageTest, DeletionAndOrderAreCodedByMode) {
    decode(BaseImage(Generation::V2), Generation::V2);
    auto v2 = open<CSPF>();
    Choose(List(*v2, CSPF::kDeletionList), QStringLiteral("User cannot delete any messages"));
    Choose(List(*v2, CSPF::kOrderList), QStringLiteral("Oldest->No.1"));
    EXPECT_EQ(context.settings.messageNumberOrder, 2) << "order stored at once";
    PagerImage stored = storeAndEncode(*v2);
    EXPECT_EQ(stored[97], 2);
    EXPECT_TRUE(Bit(stored, 4, 0));
    EXPECT_EQ(stored[33], 2);
    EXPECT_FALSE(Bit(stored, 4, 3));

    decode(BaseImage(Generation::V1), Generation::V1);
    auto v1 = open<CSPF>();
    Choose(List(*v1, CSPF::kDeletionList), QStringLiteral("User cannot delete last 10 messages"));
    Choose(List(*v1, CSPF::kOrderList), QStringLiteral("Oldest->No.1"));
    stored = storeAndEncode(*v1);
    EXPECT_EQ(stored[97], 0);
    EXPECT_TRUE(Bit(stored, 4, 0));
    EXPECT_EQ(stored[33], 10);
    EXPECT_TRUE(Bit(stored, 4, 3));
}

} // namespace
