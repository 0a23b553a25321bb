#include "ui/pages/CaptionedLists.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// Wide enough for the longest item of any option list, so lists line up down a page.
constexpr int kListMinimumWidth = 220;
constexpr int kRowSpacing = 10;

} // namespace

void CaptionedList::setEnabled(bool enabled) const {
    caption->setEnabled(enabled);
    list->setEnabled(enabled);
}

void CaptionedList::setVisible(bool visible) const {
    caption->setVisible(visible);
    list->setVisible(visible);
}

std::vector<CaptionedList> AddCaptionedLists(QWidget* parent, QBoxLayout* column,
                                             std::span<const CaptionedListRow> rows,
                                             SettingsBinding& binding) {
    std::vector<CaptionedList> created;
    for (const CaptionedListRow& row : rows) {
        QComboBox* list = CreateComboBox(parent, row.listId, row.items);
        list->setMinimumWidth(kListMinimumWidth);
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        QLabel* caption = CreateLabel(parent, row.caption, list, row.captionId);
        binding.bind(list, row.field);

        if (!created.empty()) {
            column->addSpacing(kRowSpacing);
        }
        column->addWidget(caption);
        column->addWidget(list, 0, Qt::AlignLeft);
        created.push_back({caption, list});
    }
    return created;
}

QVBoxLayout* CreateListColumn(QWidget* page) {
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(3);
    return column;
}

std::vector<CaptionedList> BuildListColumn(QWidget* page, std::span<const CaptionedListRow> rows,
                                           SettingsBinding& binding) {
    QVBoxLayout* column = CreateListColumn(page);
    std::vector<CaptionedList> lists = AddCaptionedLists(page, column, rows, binding);
    column->addStretch(1);
    return lists;
}
