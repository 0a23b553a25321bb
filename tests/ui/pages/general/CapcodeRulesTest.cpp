#include "GeneralPageTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <vector>

namespace {

class CapcodeRulesTest : public GeneralPageTest {
protected:
    void Type(std::size_t row, const QString& text) {
        CapcodeEdit(row)->clear();
        QTest::keyClicks(CapcodeEdit(row), text);
    }
    // Focus into the row's edit, then away from it with Tab, as a technician leaves it.
    void Leave(std::size_t row) {
        CapcodeEdit(row)->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(CapcodeEdit(row)->hasFocus());
        QTest::keyClick(CapcodeEdit(row), Qt::Key_Tab);
        ASSERT_FALSE(CapcodeEdit(row)->hasFocus());
    }
    void ShowActive() {
        page->show();
        QApplication::setActiveWindow(page.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    }
};

TEST_F(CapcodeRulesTest, FrameDigitFollowsEveryKeystroke) {
    std::vector<QString> frames;
    CapcodeEdit(0)->clear();
    for (const QChar digit : QStringLiteral("123")) {
        QTest::keyClick(CapcodeEdit(0), digit.toLatin1());
        frames.push_back(Frame(0)->text());
    }
    EXPECT_EQ(frames, (std::vector<QString>{"1", "4", "3"}));
    QTest::keyClick(CapcodeEdit(0), Qt::Key_Backspace);
    EXPECT_EQ(Frame(0)->text(), QStringLiteral("4"));
    CapcodeEdit(0)->clear();
    EXPECT_EQ(Frame(0)->text(), QStringLiteral("0")) << "an empty edit is 0";
}

TEST_F(CapcodeRulesTest, ValuesBeyondTwentyOneBitsAreRefusedAsTheyAreTyped) {
    struct Case {
        const char* typed;
        const char* text;
        const char* frame;
        int messages;
    };
    const Case cases[] = {
        {"2097151", "2097151", "7", 0},  {"2097152", "8", "0", 1}, {"9999999", "8", "0", 1},
        {"20971510", "2097151", "7", 0}, // the eighth digit is refused by the edit
        {"0000009", "0000009", "1", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        messages.clear();
        Type(2, QLatin1String(c.typed));
        EXPECT_EQ(CapcodeEdit(2)->text(), QLatin1String(c.text));
        EXPECT_EQ(Frame(2)->text(), QLatin1String(c.frame));
        EXPECT_EQ(messages.requests(), std::vector<MessageRequest>(c.messages, RangeError()));
    }
    page->storeToSettings();
    EXPECT_EQ(context.settings.capcodes[2], 9u);
}

TEST_F(CapcodeRulesTest, AProgramChangeBeyondTheRangeIsRefusedToo) {
    context.settings.capcodes[4] = 3000000;
    page->loadFromSettings();
    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{RangeError()});
    EXPECT_EQ(CapcodeEdit(4)->text(), QStringLiteral("8"));
    EXPECT_EQ(Frame(4)->text(), QStringLiteral("0"));
}

TEST_F(CapcodeRulesTest, PastesThatAreNotAValidCapcodeAreRefusedWhole) {
    Type(1, QStringLiteral("12"));
    struct Case {
        const char* pasted;
        const char* text;
    };
    const Case cases[] = {
        {"3a", "12"},         {" 34", "12"},
        {"-5", "12"},         {"345678", "12"}, // nine digits would be cut to a different number
        {"34567", "1234567"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pasted);
        QApplication::clipboard()->setText(QLatin1String(c.pasted));
        CapcodeEdit(1)->end(false);
        CapcodeEdit(1)->paste();
        EXPECT_EQ(CapcodeEdit(1)->text(), QLatin1String(c.text));
    }
    page->storeToSettings();
    EXPECT_EQ(context.settings.capcodes[1], 1234567u);
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(CapcodeRulesTest, LeavingAnEditWithOneToSevenSetsEightWithAPlainBox) {
    ShowActive();
    struct Case {
        const char* typed;
        const char* text;
        const char* frame;
        bool message;
    };
    const Case cases[] = {
        {"7", "8", "0", true}, {"1", "8", "0", true},  {"0", "0", "0", false},
        {"", "", "0", false},  {"8", "8", "0", false}, {"13", "13", "5", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        messages.clear();
        Type(6, QLatin1String(c.typed));
        Leave(6);
        EXPECT_EQ(CapcodeEdit(6)->text(), QLatin1String(c.text));
        EXPECT_EQ(Frame(6)->text(), QLatin1String(c.frame));
        EXPECT_EQ(messages.requests(), c.message ? std::vector<MessageRequest>{RangePlain()}
                                                 : std::vector<MessageRequest>{});
    }
}

// Switching to another window leaves the edit too, also while the window runs modally.
TEST_F(CapcodeRulesTest, LosingFocusWithTheWindowIsLeavingTheEdit) {
    // Modal, as the program runs its main window; shown again for that to take effect.
    page->hide();
    page->setWindowModality(Qt::ApplicationModal);
    ShowActive();
    Type(0, QStringLiteral("5"));
    CapcodeEdit(0)->setFocus(Qt::MouseFocusReason);
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(CapcodeEdit(0)->text(), QStringLiteral("8"));
    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{RangePlain()});
}

// Increment: rows prepared through the image, the increment run, the result in the image.
TEST_F(CapcodeRulesTest, IncrementAdvancesEnabledRowsByTheirSteps) {
    struct Row {
        const char* capcode;
        bool enabled;
        int step; // list index; -1 = no selection
        const char* after;
        std::uint8_t storedStep; // in the settings right after the increment
    };
    const Row rows[] = {
        {"12", true, 2, "8", 2},            // -8 gives 4: raised to 8
        {"8", true, 4, "8", 4},             // -1 gives 7: raised to 8
        {"2097150", true, 1, "8", 1},       // +8 overflows: range message, 8
        {"1000", false, 1, "1000", 255},    // disabled rows are left alone
        {"", true, 0, "8", 0},              // an enabled empty row becomes 8
        {"0", true, 2, "8", 2},             // so does an enabled 0, whatever its step
        {"1234", true, -1, "1234", 0},      // no selection: step 0, recorded as 0
        {"2097150", true, 3, "2097151", 3}, // +1 reaches the top
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        Type(row, QLatin1String(rows[row].capcode));
        EnableBox(row)->setChecked(rows[row].enabled);
        StepList(row)->setCurrentIndex(rows[row].step);
    }
    context.settings.autoIncrementStep.fill(255);
    messages.clear();

    QTest::mouseClick(Button(CInputCapcode::kIncrementButton), Qt::LeftButton);

    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{RangeError()});
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        SCOPED_TRACE(row + 1);
        EXPECT_EQ(CapcodeEdit(row)->text(), QLatin1String(rows[row].after));
        EXPECT_EQ(context.settings.autoIncrementStep[row], rows[row].storedStep);
    }
    EXPECT_EQ(Frame(7)->text(), QStringLiteral("7"));
    EXPECT_EQ(StepList(6)->currentIndex(), -1) << "the list itself keeps no selection";

    PagerImage image{};
    EncodeImage(context.settings, Generation::V2, std::nullopt, image);
    EXPECT_EQ(image[kStepStart + 6], 0) << "the recorded step reaches the image unless gathered";
    page->storeToSettings();
    EXPECT_EQ(context.settings.autoIncrementStep[6], 255) << "a gather stores the list again";
}

} // namespace
