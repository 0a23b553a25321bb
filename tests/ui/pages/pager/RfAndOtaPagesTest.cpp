#include "PagerPagesTestSupport.h"

#include "ui/pages/OtaPage.h"
#include "ui/pages/RfSettingsPage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const QString kInvalid = QStringLiteral("Frequency invalid ");
QString Band(int low, int high) {
    return QStringLiteral("Frequency band %1MHz - %2MHz ").arg(low).arg(high);
}

class RfSettingsPageTest : public PagerPagesTest {
protected:
    QLineEdit* frequency(CRFSet& page) { return Control<QLineEdit>(page, CRFSet::kFrequencyEdit); }
    QString bandLabel(CRFSet& page) { return Control<QLabel>(page, CRFSet::kBandLabel)->text(); }
};

// Whole MHz first..last show the band low..high (0..0: "Frequency invalid "); the neighbours
// of each range belong to the next row.
struct BandRange {
    int first;
    int last;
    int low;
    int high;
};
// clang-format off
const BandRange kBandRanges[] = {
    {136, 136, 0, 0},     {137, 142, 138, 143}, {143, 150, 143, 151}, {151, 158, 151, 159},
    {159, 166, 159, 167}, {167, 179, 167, 174}, {180, 180, 0, 0},     {426, 426, 0, 0},
    {427, 430, 428, 432}, {431, 435, 432, 436}, {436, 441, 438, 442}, {442, 445, 442, 446},
    {446, 447, 444, 448}, {448, 451, 448, 452}, {452, 455, 452, 456}, {456, 459, 456, 460},
    {460, 463, 460, 464}, {464, 467, 464, 468}, {468, 479, 468, 472}, {480, 480, 0, 0},
    {200, 200, 0, 0},     {900, 999, 928, 932},
};
// clang-format on

// Texts that are not frequencies: character codes decide, and missing characters of a short
// text count as below every digit.
const std::pair<const char*, int> kOddTexts[] = {
    {"9xx", 928},
    {"1\xE9"
     "7.0",
     0},
    {"13\xFF", 138},
    {"", 0},
    {"1", 0},
    {"9", 928},
    {"14", 138},
    {"46", 460},
};

// The label for a text as typed and as loaded.
TEST_F(RfSettingsPageTest, BandLabelAtEveryEdge) {
    std::vector<std::pair<QString, QString>> cases;
    for (const BandRange& range : kBandRanges) {
        const QString label = range.low == 0 ? kInvalid : Band(range.low, range.high);
        cases.emplace_back(QStringLiteral("%1.0000").arg(range.first), label);
        cases.emplace_back(QStringLiteral("%1.9999").arg(range.last), label);
    }
    for (const auto& [text, low] : kOddTexts) {
        const auto band = std::ranges::find(kBandRanges, low, &BandRange::low);
        cases.emplace_back(QString::fromLatin1(text),
                           low == 0 ? kInvalid : Band(band->low, band->high));
    }
    auto page = open<CRFSet>();
    for (const auto& [text, label] : cases) {
        SCOPED_TRACE(text.toStdString());
        frequency(*page)->clear();
        Type(frequency(*page), text);
        ASSERT_EQ(frequency(*page)->text(), text);
        EXPECT_EQ(bandLabel(*page), label) << "typed";

        frequency(*page)->setText(QStringLiteral("452.0000"));
        context.settings.frequencyText = QStringToLatin1(text);
        page->loadFromSettings();
        EXPECT_EQ(bandLabel(*page), label) << "loaded";
    }
}

TEST_F(RfSettingsPageTest, BandLabelFollowsEveryKeystrokePasteAndLoad) {
    auto page = open<CRFSet>();
    const QString expected[] = {kInvalid, Band(460, 464), Band(468, 472), Band(468, 472)};
    const QString keys = QStringLiteral("468.");
    for (int i = 0; i < keys.size(); ++i) {
        QTest::keyClick(frequency(*page), keys[i].toLatin1());
        EXPECT_EQ(bandLabel(*page), expected[i]) << i;
    }
    QTest::keyClick(frequency(*page), Qt::Key_Backspace);
    QTest::keyClick(frequency(*page), Qt::Key_Backspace);
    EXPECT_EQ(bandLabel(*page), Band(460, 464));

    frequency(*page)->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("436.5000"));
    frequency(*page)->paste();
    EXPECT_EQ(frequency(*page)->text(), QStringLiteral("436.5000"));
    EXPECT_EQ(bandLabel(*page), Band(438, 442));

    // A load shows the label of the loaded text even when the edit already held that text.
    Control<QLabel>(*page, CRFSet::kBandLabel)->setText(QStringLiteral("Static"));
    context.settings.frequencyText = "436.5000";
    page->loadFromSettings();
    EXPECT_EQ(bandLabel(*page), Band(438, 442));
}

TEST_F(RfSettingsPageTest, FrequencyTextReachesTheImage) {
    decode(BaseImage(Generation::V2), Generation::V2);
    auto page = open<CRFSet>();
    frequency(*page)->clear();
    Type(frequency(*page), QStringLiteral("152.84001234"));
    EXPECT_EQ(frequency(*page)->text(), QStringLiteral("152.8400")) << "at most 8 characters";
    const PagerImage stored = storeAndEncode(*page);
    EXPECT_EQ(BytesAt(stored, 103, 8), "152.8400");

    // Any single-byte character is kept as typed.
    frequency(*page)->clear();
    Type(frequency(*page), QString::fromLatin1("45\xE9"));
    page->storeToSettings();
    EXPECT_EQ(context.settings.frequencyText, "45\xE9");
}

TEST_F(RfSettingsPageTest, PolarityAndBaudRateShareByte161) {
    struct Case {
        const char* polarity;
        const char* baudRate;
        std::uint8_t byte161;
    };
    const Case cases[] = {
        {"Invert", "2400BPS", 0x34},
        {"Normal", "512BPS", 0x20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.byte161);
        decode(BaseImage(Generation::V2), Generation::V2);
        auto page = open<CRFSet>();
        Choose(List(*page, CRFSet::kPolarityList), QString::fromLatin1(c.polarity));
        Choose(List(*page, CRFSet::kBaudRateList), QString::fromLatin1(c.baudRate));
        const PagerImage stored = storeAndEncode(*page);
        EXPECT_EQ(stored[161], c.byte161);
    }
}

class OtaPageTest : public PagerPagesTest {
protected:
    static constexpr int kDependents[] = {
        COTADlg::kPasswordCaption, COTADlg::kPasswordEdit,     COTADlg::kAllowFrequencyBox,
        COTADlg::kAllowCapcodeBox, COTADlg::kAllowBaudRateBox, COTADlg::kAllowCapcodeEnableBox,
    };
    void expectDependentsEnabled(COTADlg& page, bool enabled) {
        for (int id : kDependents) {
            EXPECT_EQ(Control<QWidget>(page, id)->isEnabled(), enabled) << id;
        }
    }
};

// Greyed while OTA is off, the password and permissions still go into the image, in V1 mode
// too, where the page has no tab.
TEST_F(OtaPageTest, OffKeepsThePasswordAndPermissions) {
    for (Generation mode : {Generation::V1, Generation::V2}) {
        SCOPED_TRACE(mode == Generation::V1 ? "V1" : "V2");
        PagerImage image = BaseImage(mode);
        image[5] = 0xF3; // OTA on, all three permissions, two out-of-range bits
        SetBit(image, 4, 7, true);
        std::copy_n("PASSWORD", 8, image.begin() + 75);
        decode(image, mode);
        auto page = open<COTADlg>();
        expectDependentsEnabled(*page, true);

        Click(Box(*page, COTADlg::kEnableBox));
        EXPECT_EQ(context.settings.otaEnable, 0) << "stored at once";
        expectDependentsEnabled(*page, false);
        EXPECT_TRUE(Box(*page, COTADlg::kAllowCapcodeBox)->isChecked());
        const PagerImage stored = storeAndEncode(*page);
        EXPECT_EQ(stored[5], 0xE3);
        EXPECT_TRUE(Bit(stored, 4, 7));
        EXPECT_EQ(BytesAt(stored, 75, 8), "PASSWORD");

        Click(Box(*page, COTADlg::kEnableBox));
        EXPECT_EQ(context.settings.otaEnable, 1);
        expectDependentsEnabled(*page, true);
    }
}

TEST_F(OtaPageTest, EachPermissionWritesItsOwnBitAndShortPasswordsAreZeroFilled) {
    const BoxBit boxes[] = {
        {COTADlg::kEnableBox, 5, 4},
        {COTADlg::kAllowFrequencyBox, 5, 5},
        {COTADlg::kAllowBaudRateBox, 5, 6},
        {COTADlg::kAllowCapcodeBox, 5, 7},
        {COTADlg::kAllowCapcodeEnableBox, 4, 7},
    };
    PagerImage start = BaseImage(Generation::V2);
    SetBit(start, 5, 4, true);
    expectEachBoxFlipsOnlyItsBit<COTADlg>(start, boxes, {4, 5});

    decode(start, Generation::V2);
    auto page = open<COTADlg>();
    Type(Control<QLineEdit>(*page, COTADlg::kPasswordEdit), QString::fromLatin1("ab\xE7xyz123"));
    const PagerImage stored = storeAndEncode(*page);
    EXPECT_EQ(BytesAt(stored, 75, 8), "ab\xE7xyz12") << "eight characters at most";
    Control<QLineEdit>(*page, COTADlg::kPasswordEdit)->setText(QStringLiteral("abc"));
    const PagerImage shorter = storeAndEncode(*page);
    EXPECT_EQ(BytesAt(shorter, 75, 8), std::string("abc\0\0\0\0\0", 8));
}

} // namespace
