#include "ui/controls/DropDownAccessibility.h"
#include "ui/controls/FittedPopupItems.h"

#include "tests/ui/EventLoopWait.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string NameOf(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible != nullptr ? accessible->text(QAccessible::Name).toStdString() : "(none)";
}

QComboBox* MakeList(QWidget* parent, const QStringList& items = {"0", "+8", "-8"}) {
    auto* list = new QComboBox(parent);
    list->addItems(items);
    return list;
}

// A list is named by its label however the label is attached, and keeps Qt's own name when it
// has none.
TEST(DropDownAccessibility, ListsAreNamedByTheirLabels) {
    InstallDropDownAccessibility();
    QWidget dialog;
    auto* grid = new QGridLayout(&dialog);

    QComboBox* buddied = MakeList(&dialog);
    auto* buddyLabel = new QLabel(QStringLiteral("Tone"), &dialog);
    buddyLabel->setBuddy(buddied);
    grid->addWidget(new QLabel(QStringLiteral("not this"), &dialog), 0, 0);
    grid->addWidget(buddied, 0, 1);

    // As Qt's file dialog places "Look in:": a label left of a row of controls.
    QComboBox* inRow = MakeList(&dialog);
    auto* row = new QHBoxLayout;
    row->addWidget(inRow);
    row->addWidget(new QToolButton(&dialog));
    grid->addWidget(new QLabel(QStringLiteral("Look in:"), &dialog), 1, 0);
    grid->addLayout(row, 1, 1);

    // A grid cell described by column and row; the row number left of it is no label.
    QComboBox* described = MakeList(&dialog);
    described->setAccessibleDescription(QStringLiteral("Auto Increment, capcode 1"));
    grid->addWidget(new QLabel(QStringLiteral("1"), &dialog), 2, 0);
    grid->addWidget(described, 2, 1);

    auto* form = new QFormLayout;
    QComboBox* inForm = MakeList(&dialog);
    form->addRow(QStringLiteral("Files of type:"), inForm);
    grid->addLayout(form, 3, 0, 1, 2);

    QComboBox* unlabelled = MakeList(&dialog, {"V2", "V1"});
    grid->addWidget(unlabelled, 4, 1);

    auto* group = new QGroupBox(QStringLiteral("Capcode management"), &dialog);
    auto* groupLayout = new QHBoxLayout(group);
    QComboBox* empty = MakeList(group);
    empty->setCurrentIndex(-1);
    groupLayout->addWidget(empty);
    grid->addWidget(group, 5, 0, 1, 2);

    EXPECT_EQ(NameOf(buddied), "Tone");
    EXPECT_EQ(NameOf(inRow), "Look in:");
    EXPECT_EQ(NameOf(described), "Auto Increment, capcode 1");
    EXPECT_EQ(NameOf(inForm), "Files of type:");
    EXPECT_EQ(NameOf(unlabelled), "V2") << "Qt's own name: the current item";
    EXPECT_EQ(NameOf(empty), "Capcode management") << "Qt's own name: the group box";
    for (QComboBox* list : {buddied, inRow, inForm}) {
        list->setCurrentIndex(2);
    }
    EXPECT_EQ(NameOf(inRow), "Look in:") << "the name does not follow the choice";
}

// Qt's own file dialogs, as Save and Load show them.
TEST(DropDownAccessibility, FileDialogListsAreNamed) {
    InstallDropDownAccessibility();
    for (const auto mode : {QFileDialog::AcceptSave, QFileDialog::AcceptOpen}) {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(mode);
        dialog.setNameFilter(QStringLiteral("Save Eeprom Data Files(*.sav)"));
        std::vector<std::string> names;
        for (QComboBox* list : dialog.findChildren<QComboBox*>()) {
            names.push_back(NameOf(list));
        }
        std::ranges::sort(names);
        EXPECT_EQ(names, (std::vector<std::string>{"Files of type:", "Look in:"}));
    }
}

// In a pop-up narrower than the style's menu items, each item reports the place it is seen
// in, and the open pop-up carries the list's name.
TEST(DropDownAccessibility, PopupItemsReportWhereTheyAre) {
    InstallDropDownAccessibility();
    QWidget page;
    auto* layout = new QHBoxLayout(&page);
    layout->addWidget(new QLabel(QStringLiteral("Auto Increment"), &page));
    QComboBox* list = MakeList(&page, {"0", "+8", "-8", "+1", "-1"});
    FitPopupItemsToList(list);
    list->setFixedWidth(46);
    layout->addWidget(list);
    list->setAccessibleName(QStringLiteral("Auto Increment"));
    page.show();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(accessible, nullptr);
    list->showPopup();
    ASSERT_TRUE(WaitUntil([&] { return list->view()->isVisible(); }, 2000));

    QAccessibleInterface* items = accessible->child(0);
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items->text(QAccessible::Name), QStringLiteral("Auto Increment"));
    const QRect shown(list->view()->viewport()->mapToGlobal(QPoint(0, 0)),
                      list->view()->viewport()->size());
    ASSERT_EQ(items->childCount(), 5);
    for (int i = 0; i < items->childCount(); ++i) {
        const QRect place = items->child(i)->rect();
        SCOPED_TRACE(items->child(i)->text(QAccessible::Name).toStdString());
        EXPECT_TRUE(shown.contains(place)) << "item at " << place.x() << "," << place.y() << " "
                                           << place.width() << "x" << place.height();
        EXPECT_EQ(place.width(), shown.width());
    }
    list->hidePopup();
}

} // namespace
