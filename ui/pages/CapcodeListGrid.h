#pragma once

#include "ui/pages/SettingsBinding.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <span>
#include <vector>

class QComboBox;
class QLabel;
class QWidget;

// One column of lists on a per-capcode page: its heading, the id of its list on row 1 (the
// rows below follow on), the list items, and the setting row r edits (capcode entry r - 1).
struct CapcodeListColumn {
    const char* heading;
    int headingId; // kNoControlId for headings without an id
    int firstListId;
    QStringList items;
    ByteField (*field)(std::size_t capcode);
};

// A grid of eight numbered capcode rows under a "Capcode" heading and one heading per column,
// every list bound to its setting. Each list is described to assistive technology by its
// column and row ("A Tone, capcode 3"), as it has no caption of its own.
class CapcodeListGrid {
public:
    static constexpr std::size_t kRows = PagerSettings::kCapcodes;
    using Column = std::array<QComboBox*, kRows>;

    CapcodeListGrid(QWidget* page, std::span<const CapcodeListColumn> columns,
                    SettingsBinding& binding);

    const Column& lists(std::size_t column) const { return lists_.at(column); }
    QLabel* heading(std::size_t column) const { return headings_.at(column); }

    // Shows or hides a column, heading included.
    void setColumnVisible(std::size_t column, bool visible);

private:
    std::vector<QLabel*> headings_;
    std::vector<Column> lists_;
};
