#include "ui/controls/ControlId.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

TEST(ControlId, IdIsStoredAndNamed) {
    QPushButton button;
    EXPECT_EQ(ControlIdOf(&button), kNoControlId);
    SetControlId(&button, 1051);
    EXPECT_EQ(ControlIdOf(&button), 1051);
    EXPECT_EQ(button.objectName(), QStringLiteral("id1051"));
}

// A main window with its Write button 1026 and a tab control 1000 holding a page that reuses
// 1026 for an edit inside a group box, and a dialog opened from the page that reuses 1029.
class ControlTree : public ::testing::Test {
protected:
    ControlTree() {
        SetControlId(write, 1026);
        SetControlId(tabControl, 1000);
        MarkControlScope(page);
        SetControlId(startupText, 1026);
        SetControlId(serial, 1029);
        SetControlId(dialogEdit, 1029);
    }

    QWidget window;
    QPushButton* write = new QPushButton(&window);
    QWidget* tabControl = new QWidget(&window);
    QWidget* page = new QWidget(tabControl);
    QGroupBox* group = new QGroupBox(page);
    QLineEdit* startupText = new QLineEdit(group);
    QLineEdit* serial = new QLineEdit(page);
    QDialog* dialog = new QDialog(page);
    QLineEdit* dialogEdit = new QLineEdit(dialog);
};

TEST_F(ControlTree, LookupsStayInsideTheirRootsIdSpace) {
    struct Case {
        const char* what;
        QWidget* root;
        int id;
        QWidget* expected;
    };
    const Case cases[] = {
        {"window finds its own button, not the page's edit", &window, 1026, write},
        {"window finds the tab control", &window, 1000, tabControl},
        {"window does not look into the page", &window, 1029, nullptr},
        {"page finds an edit nested in a group box", page, 1026, startupText},
        {"page finds its own 1029, not the dialog's", page, 1029, serial},
        {"dialog finds its own edit", dialog, 1029, dialogEdit},
        {"unknown id", page, 4242, nullptr},
        {"no root", nullptr, 1026, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindControlWidget(c.root, c.id), c.expected) << c.what;
    }
}

TEST_F(ControlTree, TypedLookupChecksTheKindOfControl) {
    EXPECT_EQ(FindControl<QLineEdit>(page, 1026), startupText);
    EXPECT_EQ(FindControl<QComboBox>(page, 1026), nullptr);
    EXPECT_EQ(FindControl<QPushButton>(&window, 1026), write);
}

} // namespace
