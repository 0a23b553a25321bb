#include "GeneralPageTestSupport.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <string>

namespace {

using Entry = std::array<std::uint8_t, 4>;

void PutEntry(PagerImage& image, std::size_t row, const Entry& entry) {
    std::copy(entry.begin(), entry.end(), image.begin() + CapcodeEntry(row));
}
Entry EntryOf(const PagerImage& image, std::size_t row) {
    Entry entry{};
    std::copy_n(image.begin() + CapcodeEntry(row), 4, entry.begin());
    return entry;
}
std::string Bytes(const PagerImage& image, std::size_t start, std::size_t count) {
    return std::string(image.begin() + start, image.begin() + start + count);
}
void PutBytes(PagerImage& image, std::size_t start, const std::string& bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + start);
}

TEST_F(GeneralPageTest, CapcodeRowsGoFromImageToPageAndBackUnchanged) {
    struct Row {
        std::size_t row;
        Entry entry;
        const char* text;
        const char* frame;
        bool enabled;
    };
    const Row rows[] = {
        {0, {0x61, 0x1E, 0x5A, 0xD0}, "1234567", "7", true},
        {1, {0x60, 0x20, 0x00, 0x00}, "0", "0", false}, // a row not in use
        {2, {0x61, 0x5F, 0xFF, 0xFF}, "2097151", "7", true},
        {3, {0x61, 0x60, 0x00, 0x01}, "8", "0", true},
        {4, {0x60, 0x88, 0x00, 0x02}, "18", "2", false},
        {5, {0x60, 0xA0, 0x00, 0x00}, "0", "0", false},
        {6, {0x61, 0xC0, 0x00, 0x02}, "16", "0", true},
        {7, {0x60, 0xE0, 0x00, 0x01}, "8", "0", false},
    };
    PagerImage image{};
    for (const Row& row : rows) {
        PutEntry(image, row.row, row.entry);
    }
    LoadImage(image);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.row + 1);
        EXPECT_EQ(CapcodeEdit(row.row)->text(), QLatin1String(row.text));
        EXPECT_EQ(Frame(row.row)->text(), QLatin1String(row.frame));
        EXPECT_EQ(EnableBox(row.row)->isChecked(), row.enabled);
    }
    const PagerImage gathered = GatherImage();
    for (const Row& row : rows) {
        EXPECT_EQ(EntryOf(gathered, row.row), row.entry) << "row " << row.row + 1;
    }
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(GeneralPageTest, PrivateMaskFollowsTheBoxesBothWays) {
    // Rows 1-4 private and 5-8 not, as a fresh pager has them.
    EXPECT_EQ(GatherImage()[kPrivateMaskByte], 0xF0);

    PagerImage image{};
    image[kPrivateMaskByte] = 0xA5; // rows 1, 3, 6, 8 not private
    LoadImage(image);
    const bool privateRows[] = {false, true, false, true, true, false, true, false};
    for (std::size_t row = 0; row < PagerSettings::kCapcodes; ++row) {
        EXPECT_EQ(PrivateBox(row)->isChecked(), privateRows[row]) << "row " << row + 1;
    }
    page->showPrivateColumn();
    QTest::mouseClick(PrivateBox(5), Qt::LeftButton); // row 6 becomes private
    QTest::mouseClick(PrivateBox(0), Qt::LeftButton); // row 1 cannot be changed
    EXPECT_EQ(GatherImage()[kPrivateMaskByte], 0x85);
}

TEST_F(GeneralPageTest, StepListsStoreTheirIndexAndAListWithoutSelectionStores255) {
    PagerImage image{};
    const std::uint8_t steps[] = {0, 1, 2, 3, 4, 5, 255, 2};
    std::copy(std::begin(steps), std::end(steps), image.begin() + kStepStart);
    LoadImage(image);
    for (std::size_t row = 0; row < PagerSettings::kCapcodes; ++row) {
        EXPECT_EQ(StepList(row)->currentIndex(), steps[row] <= 4 ? steps[row] : -1);
    }
    const PagerImage gathered = GatherImage();
    const std::uint8_t stored[] = {0, 1, 2, 3, 4, 255, 255, 2};
    EXPECT_TRUE(std::equal(std::begin(stored), std::end(stored), gathered.begin() + kStepStart));
}

TEST_F(GeneralPageTest, StartupTextIsBlankPaddedAndKeepsLeadingBlanks) {
    struct Case {
        QString typed;
        std::string stored;
        QString shownAgain;
    };
    const Case cases[] = {
        {"HELLO", "HELLO" + std::string(15, ' '), "HELLO"},
        {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},
        {"  HI  ", "  HI" + std::string(16, ' '), "  HI"},
        {"ABCDEFGHIJKLMNOPQRSTUVW", "ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},
        {QString::fromLatin1("Caf\xE9"), "Caf\xE9" + std::string(16, ' '),
         QString::fromLatin1("Caf\xE9")},
    };
    auto* edit = Control<QLineEdit>(CInputCapcode::kStartupTextEdit);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        edit->clear();
        edit->insert(c.typed); // as typed or pasted: the edit's limits apply
        const PagerImage gathered = GatherImage();
        EXPECT_EQ(Bytes(gathered, kStartupTextStart, 20), c.stored);
        LoadImage(gathered);
        EXPECT_EQ(edit->text(), c.shownAgain);
    }
}

TEST_F(GeneralPageTest, SerialNumberIsRightAlignedAndShownSoAfterTheNextLoad) {
    dialogs->serialAnswers.emplace_back(QStringLiteral("techmod952"));
    QTest::mouseClick(Button(CInputCapcode::kChangeSerialButton), Qt::LeftButton);
    auto* serial = Control<QLineEdit>(CInputCapcode::kSerialEdit);
    ASSERT_TRUE(serial->isEnabled());

    QTest::keyClicks(serial, QStringLiteral("AB123"));
    const PagerImage gathered = GatherImage();
    // Built in place: GCC 12 at -O2 warns wrongly about + on a temporary std::string.
    std::string aligned(11, ' ');
    aligned += "AB123";
    EXPECT_EQ(Bytes(gathered, kSerialStart, 16), aligned);
    page->loadFromSettings();
    EXPECT_EQ(serial->text(), QString(11, QLatin1Char(' ')) + QStringLiteral("AB123"));

    serial->clear();
    QTest::keyClicks(serial, QStringLiteral("SN-0123456789XYZ"));
    EXPECT_EQ(Bytes(GatherImage(), kSerialStart, 16), "SN-0123456789XYZ");

    PagerImage image{};
    PutBytes(image, kSerialStart, "   7 9\xF1");
    LoadImage(image);
    EXPECT_EQ(serial->text(), QString::fromLatin1("   7 9\xF1")) << "leading blanks kept";
}

TEST_F(GeneralPageTest, IncBoxIsGatheredButNeverLoaded) {
    dialogs->serialAnswers.emplace_back(QStringLiteral("techmod952"));
    QTest::mouseClick(Button(CInputCapcode::kChangeSerialButton), Qt::LeftButton);
    auto* inc = Control<QCheckBox>(CInputCapcode::kSerialIncrementBox);
    QTest::mouseClick(inc, Qt::LeftButton);
    page->storeToSettings();
    EXPECT_TRUE(context.state.serialAutoIncrement.load());
    LoadImage(PagerImage{});
    EXPECT_TRUE(inc->isChecked());
    QTest::mouseClick(inc, Qt::LeftButton);
    page->storeToSettings();
    EXPECT_FALSE(context.state.serialAutoIncrement.load());
}

} // namespace
