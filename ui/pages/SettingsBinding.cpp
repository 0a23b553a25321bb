#include "ui/pages/SettingsBinding.h"

#include "ui/controls/DropDownAccessibility.h"
#include "ui/controls/FittedPopupItems.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <limits>

namespace {

template <class Control> Control* RequireControl(QWidget* root, int id) {
    auto* control = FindControl<Control>(root, id);
    if (control == nullptr) {
        qFatal("settings binding: no control %d of the expected kind", id);
    }
    return control;
}

} // namespace

void ShowListIndex(QComboBox* combo, std::uint8_t value) {
    combo->setCurrentIndex(value < combo->count() ? value : -1);
}

std::uint8_t ListIndexOf(const QComboBox* combo) {
    const int index = combo->currentIndex();
    return index < 0 || index >= kNoSelection ? kNoSelection : static_cast<std::uint8_t>(index);
}

void ShowCheck(QCheckBox* box, std::uint8_t value) {
    box->setChecked(value != 0);
}

std::uint8_t CheckValueOf(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

QString Latin1ToQString(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string QStringToLatin1(const QString& text) {
    return text.toLatin1().toStdString();
}

void ShowText(QLineEdit* edit, const std::string& text) {
    edit->setText(Latin1ToQString(text));
}

std::string TextOf(const QLineEdit* edit) {
    return QStringToLatin1(edit->text());
}

void ShowNumber(QLineEdit* edit, std::uint32_t value) {
    edit->setText(QString::number(value));
}

std::uint32_t NumberOf(const QLineEdit* edit) {
    // The leading decimal digits, as the edits hold nothing else.
    std::uint64_t value = 0;
    for (const QChar c : edit->text()) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            break;
        }
        value = value * 10 + static_cast<std::uint64_t>(c.unicode() - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::numeric_limits<std::uint32_t>::max();
        }
    }
    return static_cast<std::uint32_t>(value);
}

void SettingsBinding::bind(QComboBox* combo, const ByteField& field) {
    entries_.push_back(Entry{
        [combo, field](const PagerSettings& settings) { ShowListIndex(combo, field.in(settings)); },
        [combo, field](PagerSettings& settings) { field.in(settings) = ListIndexOf(combo); }});
}

void SettingsBinding::bind(QCheckBox* box, const ByteField& field) {
    entries_.push_back(
        Entry{[box, field](const PagerSettings& settings) { ShowCheck(box, field.in(settings)); },
              [box, field](PagerSettings& settings) { field.in(settings) = CheckValueOf(box); }});
}

void SettingsBinding::bind(QLineEdit* edit, const TextField& field) {
    entries_.push_back(
        Entry{[edit, field](const PagerSettings& settings) { ShowText(edit, field.in(settings)); },
              [edit, field](PagerSettings& settings) { field.in(settings) = TextOf(edit); }});
}

void SettingsBinding::bind(QLineEdit* edit, const NumberField& field) {
    entries_.push_back(Entry{
        [edit, field](const PagerSettings& settings) { ShowNumber(edit, field.in(settings)); },
        [edit, field](PagerSettings& settings) { field.in(settings) = NumberOf(edit); }});
}

void SettingsBinding::bind(QWidget* root, std::span<const ComboBinding> table) {
    for (const ComboBinding& row : table) {
        bind(RequireControl<QComboBox>(root, row.id), row.field);
    }
}

void SettingsBinding::bind(QWidget* root, std::span<const CheckBinding> table) {
    for (const CheckBinding& row : table) {
        bind(RequireControl<QCheckBox>(root, row.id), row.field);
    }
}

void SettingsBinding::bind(QWidget* root, std::span<const TextBinding> table) {
    for (const TextBinding& row : table) {
        bind(RequireControl<QLineEdit>(root, row.id), row.field);
    }
}

void SettingsBinding::bind(QWidget* root, std::span<const NumberBinding> table) {
    for (const NumberBinding& row : table) {
        bind(RequireControl<QLineEdit>(root, row.id), row.field);
    }
}

void SettingsBinding::load(const PagerSettings& settings) const {
    for (const Entry& entry : entries_) {
        entry.load(settings);
    }
}

void SettingsBinding::store(PagerSettings& settings) const {
    for (const Entry& entry : entries_) {
        entry.store(settings);
    }
}

QComboBox* CreateComboBox(QWidget* parent, int id, const QStringList& items) {
    // Every list of the program is made here; the lists are named by their labels.
    InstallDropDownAccessibility();
    auto* combo = new QComboBox(parent);
    SetControlId(combo, id);
    FitPopupItemsToList(combo);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    return combo;
}

void SetComboItems(QComboBox* combo, const QStringList& items) {
    combo->clear();
    combo->addItems(items);
    combo->setCurrentIndex(-1);
}

QCheckBox* CreateCheckBox(QWidget* parent, int id, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    SetControlId(box, id);
    return box;
}

QLineEdit* CreateLatin1Edit(QWidget* parent, int id, int maxLength) {
    auto* edit = new QLineEdit(parent);
    SetControlId(edit, id);
    edit->setMaxLength(maxLength);
    edit->setValidator(new Latin1Validator(edit));
    return edit;
}

QLineEdit* CreateDigitsEdit(QWidget* parent, int id, int maxLength) {
    auto* edit = new QLineEdit(parent);
    SetControlId(edit, id);
    edit->setMaxLength(maxLength);
    edit->setValidator(new DigitsValidator(maxLength, edit));
    return edit;
}

QLabel* CreateLabel(QWidget* parent, const QString& text, QWidget* buddy, int id) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    if (buddy != nullptr) {
        label->setBuddy(buddy);
    }
    if (id != kNoControlId) {
        SetControlId(label, id);
    }
    return label;
}

std::vector<QComboBox*> CreateComboRows(QWidget* parent, std::span<const int> ids,
                                        const QStringList& items) {
    std::vector<QComboBox*> combos;
    for (int id : ids) {
        combos.push_back(CreateComboBox(parent, id, items));
    }
    return combos;
}

std::vector<QCheckBox*> CreateCheckRows(QWidget* parent, std::span<const int> ids,
                                        const QString& caption) {
    std::vector<QCheckBox*> boxes;
    for (int id : ids) {
        boxes.push_back(CreateCheckBox(parent, id, caption));
    }
    return boxes;
}

bool IsLatin1(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}

QValidator::State Latin1Validator::validate(QString& input, int&) const {
    return IsLatin1(input) ? Acceptable : Invalid;
}

QValidator::State DigitsValidator::validate(QString& input, int&) const {
    if (input.size() > maxLength_) {
        return Invalid;
    }
    const bool digitsOnly = std::all_of(input.cbegin(), input.cend(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    return digitsOnly ? Acceptable : Invalid;
}
