#include "ui/pages/SettingsBinding.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

const QStringList kPriorityItems{"Disable", "A", "B", "C", "D", "ALL"};

// Types any characters, also those without a key on an ASCII keyboard.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Loading a list setting shows its item or no selection; storing gives the index or 255.
TEST(SettingsBinding, ListsFollowTheNoSelectionRule) {
    struct Case {
        std::uint8_t stored;
        int shown;
        std::uint8_t storedBack;
    };
    const Case cases[] = {
        {0, 0, 0}, {5, 5, 5}, {6, -1, 255}, {7, -1, 255}, {200, -1, 255}, {255, -1, 255},
    };
    QWidget page;
    QComboBox* priority = CreateComboBox(&page, 1072, kPriorityItems);
    SettingsBinding binding;
    binding.bind(priority, ByteField(&PagerSettings::priority, 0));
    for (const Case& c : cases) {
        PagerSettings settings;
        settings.priority[0] = c.stored;
        binding.load(settings);
        EXPECT_EQ(priority->currentIndex(), c.shown) << int(c.stored);
        settings.priority[0] = 42;
        binding.store(settings);
        EXPECT_EQ(settings.priority[0], c.storedBack) << int(c.stored);
    }
}

TEST(SettingsBinding, NewListsStartWithoutSelectionAndModeRefillsKeepTheRule) {
    QWidget page;
    QComboBox* language =
        CreateComboBox(&page, 1034, {"ENGLISH", "FRENCH", "SPANISH", "GERMAN", "CZECH", "SWEDISH"});
    EXPECT_EQ(language->currentIndex(), -1);
    EXPECT_EQ(ListIndexOf(language), kNoSelection);
    ShowListIndex(language, 4);
    EXPECT_EQ(language->currentText(), QStringLiteral("CZECH"));

    SetComboItems(language, {"ENGLISH", "FRENCH", "SPANISH", "GERMAN"});
    EXPECT_EQ(language->count(), 4);
    ShowListIndex(language, 4);
    EXPECT_EQ(ListIndexOf(language), kNoSelection);
}

TEST(SettingsBinding, CheckBoxesStoreZeroOrOne) {
    QWidget page;
    QCheckBox* box = CreateCheckBox(&page, 1002, QStringLiteral("Enable message to notebook"));
    SettingsBinding binding;
    binding.bind(box, &PagerSettings::menuNotebook);
    for (const auto& [stored, checked, back] :
         {std::tuple{0, false, 0}, std::tuple{1, true, 1}, std::tuple{7, true, 1}}) {
        PagerSettings settings;
        settings.menuNotebook = static_cast<std::uint8_t>(stored);
        binding.load(settings);
        EXPECT_EQ(box->isChecked(), checked);
        binding.store(settings);
        EXPECT_EQ(settings.menuNotebook, back);
    }
}

// Every field kind reaches exactly its own setting and no other.
TEST(SettingsBinding, TablesAndRowsBindTheRightElements) {
    QWidget page;
    const auto urgentIds = ConsecutiveIds<8>(1072);
    const auto toneIds = ConsecutiveIds<8>(1088);
    const std::vector<QComboBox*> urgent = CreateComboRows(&page, urgentIds, kPriorityItems);
    const std::vector<QComboBox*> toneB =
        CreateComboRows(&page, toneIds, {"Alpha", "Numeric", "Tone", "Disable"});
    CreateComboBox(&page, 1030,
                   {"ZOOM 1 (4/8 Line)", "ZOOM 2 (2/4 Line)", "ZOOM 3 (2/4 Line Bold)"});
    QLineEdit* frequency = CreateLatin1Edit(&page, 1029, 8);
    QLineEdit* capcode = CreateDigitsEdit(&page, 1002, 7);
    ASSERT_EQ(urgent.size(), 8u);
    EXPECT_EQ(ControlIdOf(urgent[7]), 1079);

    const ComboBinding lists[] = {{1030, &PagerSettings::zoomLevel}};
    const TextBinding texts[] = {{1029, &PagerSettings::frequencyText}};
    const NumberBinding numbers[] = {{1002, {&PagerSettings::capcodes, 0}}};
    SettingsBinding binding;
    binding.bindRows(urgent, &PagerSettings::urgentTone);
    for (std::size_t row = 0; row < toneB.size(); ++row) {
        binding.bind(toneB[row], ByteField(&PagerSettings::toneType, row, 1));
    }
    binding.bind(&page, lists);
    binding.bind(&page, texts);
    binding.bind(&page, numbers);
    EXPECT_EQ(binding.size(), 19u);

    PagerSettings original;
    for (std::uint8_t n = 0; n < 8; ++n) {
        original.urgentTone[n] = n % 6;
        original.toneType[n] = {3, static_cast<std::uint8_t>(n % 4), 2, 1};
    }
    original.zoomLevel = 2;
    original.frequencyText = "152.8400";
    original.capcodes[0] = 1234567;
    binding.load(original);
    EXPECT_EQ(urgent[4]->currentIndex(), 4);
    EXPECT_EQ(toneB[3]->currentIndex(), 3);
    EXPECT_EQ(frequency->text(), QStringLiteral("152.8400"));
    EXPECT_EQ(capcode->text(), QStringLiteral("1234567"));

    urgent[2]->setCurrentIndex(5);
    toneB[6]->setCurrentIndex(-1);
    PagerSettings stored = original;
    binding.store(stored);
    PagerSettings expected = original;
    expected.urgentTone[2] = 5;
    expected.toneType[6][1] = kNoSelection;
    EXPECT_EQ(stored, expected);
}

TEST(SettingsBinding, TextsKeepEveryByteValue) {
    std::string allBytes;
    for (int byte = 1; byte <= 255; ++byte) {
        allBytes.push_back(static_cast<char>(byte));
    }
    QWidget page;
    QLineEdit* edit = CreateLatin1Edit(&page, 1026, 300);
    SettingsBinding binding;
    binding.bind(edit, &PagerSettings::startupText);
    PagerSettings settings;
    settings.startupText = allBytes;
    binding.load(settings);
    EXPECT_EQ(edit->text().size(), 255);
    settings.startupText.clear();
    binding.store(settings);
    EXPECT_EQ(settings.startupText, allBytes);
}

TEST(SettingsBinding, Latin1EditRefusesOtherCharactersTypedOrPasted) {
    QWidget page;
    QLineEdit* edit = CreateLatin1Edit(&page, 1053, 8);
    Type(edit, QString::fromUtf8("a\u20ACb\u00E9c"));
    EXPECT_EQ(edit->text(), QString::fromUtf8("ab\u00E9c"));

    QApplication::clipboard()->setText(QString::fromUtf8("x\u0141y"));
    edit->paste();
    EXPECT_EQ(edit->text(), QString::fromUtf8("ab\u00E9c"));
    QApplication::clipboard()->setText(QString::fromUtf8("\u00FF!"));
    edit->paste();
    EXPECT_EQ(edit->text(), QString::fromUtf8("ab\u00E9c\u00FF!"));
    EXPECT_EQ(TextOf(edit), std::string("ab\xE9"
                                        "c\xFF!"));

    QTest::keyClicks(edit, QStringLiteral("zzz"));
    EXPECT_EQ(edit->text().size(), 8) << "at most the edit's length";
}

TEST(SettingsBinding, DigitsEditTakesDigitsOnlyUpToItsLength) {
    QWidget page;
    QLineEdit* edit = CreateDigitsEdit(&page, 1029, 4);
    QTest::keyClicks(edit, QStringLiteral("1a2 3-"));
    EXPECT_EQ(edit->text(), QStringLiteral("123"));
    QApplication::clipboard()->setText(QStringLiteral("x4"));
    edit->paste();
    EXPECT_EQ(edit->text(), QStringLiteral("123"));
    QApplication::clipboard()->setText(QStringLiteral("45"));
    edit->paste();
    EXPECT_EQ(edit->text(), QStringLiteral("1234"));
}

TEST(SettingsBinding, ValidatorsJudgeWholeTexts) {
    const Latin1Validator latin1;
    const DigitsValidator digits(7);
    struct Case {
        const char* utf8;
        QValidator::State latin1;
        QValidator::State digits;
    };
    const Case cases[] = {
        {"", QValidator::Acceptable, QValidator::Acceptable},
        {"2097151", QValidator::Acceptable, QValidator::Acceptable},
        {"20971510", QValidator::Acceptable, QValidator::Invalid},
        {"12 4", QValidator::Acceptable, QValidator::Invalid},
        {"\xC2\xB2", QValidator::Acceptable, QValidator::Invalid}, // superscript two
        {"\xD9\xA3", QValidator::Invalid, QValidator::Invalid},    // Arabic-Indic three
    };
    for (const Case& c : cases) {
        QString text = QString::fromUtf8(c.utf8);
        int position = 0;
        EXPECT_EQ(latin1.validate(text, position), c.latin1) << c.utf8;
        EXPECT_EQ(digits.validate(text, position), c.digits) << c.utf8;
    }
}

TEST(SettingsBinding, NumbersReadTheirLeadingDigits) {
    QLineEdit edit;
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"", 0},
        {"0", 0},
        {"2097151", 2097151},
        {"0008", 8},
        {"12x4", 12},
        {"4294967295", 4294967295u},
        {"4294967296", 4294967295u},
        {"99999999999999999999999", 4294967295u},
    };
    for (const auto& [text, value] : cases) {
        edit.setText(QString::fromLatin1(text));
        EXPECT_EQ(NumberOf(&edit), value) << text;
    }
    ShowNumber(&edit, 0);
    EXPECT_EQ(edit.text(), QStringLiteral("0"));
}

} // namespace
