#include "ui/pages/CapcodeListGrid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

CapcodeListGrid::CapcodeListGrid(QWidget* page, std::span<const CapcodeListColumn> columns,
                                 SettingsBinding& binding) {
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 10, 8, 10);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    grid->addWidget(CreateLabel(page, QStringLiteral("Capcode")), 0, 0, Qt::AlignCenter);
    for (std::size_t row = 0; row < kRows; ++row) {
        grid->addWidget(CreateLabel(page, QString::number(row + 1)), static_cast<int>(row) + 1, 0,
                        Qt::AlignCenter);
    }

    for (std::size_t c = 0; c < columns.size(); ++c) {
        const CapcodeListColumn& column = columns[c];
        const QString headingText = QString::fromLatin1(column.heading);
        const int gridColumn = static_cast<int>(c) + 1;
        QLabel* label = CreateLabel(page, headingText, nullptr, column.headingId);
        grid->addWidget(label, 0, gridColumn, Qt::AlignCenter);
        headings_.push_back(label);

        Column columnLists{};
        for (std::size_t row = 0; row < kRows; ++row) {
            QComboBox* list =
                CreateComboBox(page, column.firstListId + static_cast<int>(row), column.items);
            list->setAccessibleDescription(
                QStringLiteral("%1, capcode %2").arg(headingText).arg(row + 1));
            grid->addWidget(list, static_cast<int>(row) + 1, gridColumn);
            binding.bind(list, column.field(row));
            columnLists[row] = list;
        }
        lists_.push_back(columnLists);
    }
    grid->setRowStretch(static_cast<int>(kRows) + 1, 1);
}

void CapcodeListGrid::setColumnVisible(std::size_t column, bool visible) {
    headings_.at(column)->setVisible(visible);
    for (QComboBox* list : lists_.at(column)) {
        list->setVisible(visible);
    }
}
