#pragma once

#include "image/PagerSettings.h"
#include "ui/controls/ControlId.h"

#include <QString>
#include <QStringList>
#include <QValidator>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// Binding page controls to settings. A page declares tables of (control id, setting) pairs,
// builds its controls from them, and its loadFromSettings / storeToSettings become loops over
// one SettingsBinding; only the page's real rules are written by hand.
//
// Loading never triggers a page's change handlers as long as those listen to user actions:
// QComboBox::activated and QCheckBox::clicked (as a user's selection or click does), not
// currentIndexChanged or toggled. Text edits are the exception the pages rely on: setting
// the text emits textChanged, as their change checks expect.

// Where one setting of type T lives in PagerSettings: a plain member, one element of an
// array member (per capcode, per canned slot), or one element of a two-level array (tone t
// of capcode n).
template <class T> class SettingsField {
public:
    using Access = std::function<T&(PagerSettings&)>;

    // Implicit on purpose: a binding table names the member directly.
    // cppcheck-suppress noExplicitConstructor
    SettingsField(T PagerSettings::*member)
        : access_([member](PagerSettings& settings) -> T& { return settings.*member; }) {}

    template <std::size_t N>
    SettingsField(std::array<T, N> PagerSettings::*array, std::size_t index)
        : access_([array, index](PagerSettings& settings) -> T& {
              return (settings.*array).at(index);
          }) {}

    template <std::size_t N, std::size_t M>
    SettingsField(std::array<std::array<T, M>, N> PagerSettings::*array, std::size_t row,
                  std::size_t column)
        : access_([array, row, column](PagerSettings& settings) -> T& {
              return (settings.*array).at(row).at(column);
          }) {}

    explicit SettingsField(Access access) : access_(std::move(access)) {}

    T& in(PagerSettings& settings) const { return access_(settings); }
    // The accessor only locates the value; it never changes the settings.
    const T& in(const PagerSettings& settings) const {
        return access_(const_cast<PagerSettings&>(settings));
    }

private:
    Access access_;
};

using ByteField = SettingsField<std::uint8_t>;
using TextField = SettingsField<std::string>;
using NumberField = SettingsField<std::uint32_t>;

// Table rows: a control id and the setting it edits.
struct ComboBinding {
    int id;
    ByteField field;
};
struct CheckBinding {
    int id;
    ByteField field;
};
struct TextBinding {
    int id;
    TextField field;
};
struct NumberBinding {
    int id;
    NumberField field;
};

// The value a list setting takes when the list has no selection.
inline constexpr std::uint8_t kNoSelection = 255;

// The rules every bound control follows, usable one control at a time by change handlers.
// A list shows the item at the setting's index, or no selection when there is no such item;
// a list without a selection stores 255.
void ShowListIndex(QComboBox* combo, std::uint8_t value);
std::uint8_t ListIndexOf(const QComboBox* combo);
void ShowCheck(QCheckBox* box, std::uint8_t value);
std::uint8_t CheckValueOf(const QCheckBox* box);
// Texts are single bytes: ISO-8859-1 both ways, so every byte value comes back unchanged.
void ShowText(QLineEdit* edit, const std::string& text);
std::string TextOf(const QLineEdit* edit);
QString Latin1ToQString(const std::string& text);
std::string QStringToLatin1(const QString& text);
// Numbers are shown in decimal. Storing reads the leading decimal digits: an empty edit gives
// 0, a number beyond 32 bits the largest 32-bit value.
void ShowNumber(QLineEdit* edit, std::uint32_t value);
std::uint32_t NumberOf(const QLineEdit* edit);

// The controls of one page bound to their settings.
class SettingsBinding {
public:
    void bind(QComboBox* combo, const ByteField& field);
    void bind(QCheckBox* box, const ByteField& field);
    void bind(QLineEdit* edit, const TextField& field);
    void bind(QLineEdit* edit, const NumberField& field);

    // Table forms: each id is looked up under root (see FindControl); a missing control or
    // one of the wrong kind is a programming error and aborts.
    void bind(QWidget* root, std::span<const ComboBinding> table);
    void bind(QWidget* root, std::span<const CheckBinding> table);
    void bind(QWidget* root, std::span<const TextBinding> table);
    void bind(QWidget* root, std::span<const NumberBinding> table);

    // Controls in row order bound to the elements of a per-capcode (or per-slot) array.
    template <class Control, class T, std::size_t N>
    void bindRows(const std::vector<Control*>& controls, std::array<T, N> PagerSettings::*array) {
        for (std::size_t row = 0; row < controls.size() && row < N; ++row) {
            bind(controls[row], SettingsField<T>(array, row));
        }
    }

    void load(const PagerSettings& settings) const;
    void store(PagerSettings& settings) const;

    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::function<void(const PagerSettings&)> load;
        std::function<void(PagerSettings&)> store;
    };
    std::vector<Entry> entries_;
};

// Control builders. Each gives the control its id (SetControlId) and parent.

// A drop-down list with exactly these item texts, in this order.
QComboBox* CreateComboBox(QWidget* parent, int id, const QStringList& items);
// Replaces a list's items, as the pages do when the programming mode changes its list.
void SetComboItems(QComboBox* combo, const QStringList& items);
QCheckBox* CreateCheckBox(QWidget* parent, int id, const QString& caption);
// A single-line edit for single-byte text: refuses characters outside ISO-8859-1, typed or
// pasted, and holds at most maxLength characters.
QLineEdit* CreateLatin1Edit(QWidget* parent, int id, int maxLength);
// A single-line edit that takes the digits 0-9 only, at most maxLength of them.
QLineEdit* CreateDigitsEdit(QWidget* parent, int id, int maxLength);
// A caption; with a buddy it also names that control for assistive technology. id may be
// kNoControlId for the many labels without one.
QLabel* CreateLabel(QWidget* parent, const QString& text, QWidget* buddy = nullptr,
                    int id = kNoControlId);

// One control per id, in order: rows of a column of lists from an id table.
std::vector<QComboBox*> CreateComboRows(QWidget* parent, std::span<const int> ids,
                                        const QStringList& items);
std::vector<QCheckBox*> CreateCheckRows(QWidget* parent, std::span<const int> ids,
                                        const QString& caption);

// count ids starting at first, for the columns whose ids run on.
template <std::size_t Count> constexpr std::array<int, Count> ConsecutiveIds(int first) {
    std::array<int, Count> ids{};
    for (std::size_t i = 0; i < Count; ++i) {
        ids[i] = first + static_cast<int>(i);
    }
    return ids;
}

// Accepts only text whose every character is in ISO-8859-1.
class Latin1Validator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

// Accepts only the digits 0-9, at most maxLength of them.
class DigitsValidator final : public QValidator {
public:
    explicit DigitsValidator(int maxLength, QObject* parent = nullptr)
        : QValidator(parent), maxLength_(maxLength) {}
    State validate(QString& input, int& position) const override;

private:
    int maxLength_;
};

bool IsLatin1(const QString& text);
