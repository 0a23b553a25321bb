#include "ui/controls/SettingsTabControl.h"

#include "tests/ui/WindowTabCaptions.h"

#include <QAccessible>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const auto& kCaptions = kWindowTabCaptions;
constexpr int kPageCount = 15;

// A tab control with the size and font the main window gives it, with fifteen pages created
// as its children the way the main window creates them, none of them added yet.
class TabControlTest : public ::testing::Test {
protected:
    TabControlTest() {
        tabs.setFont(QFont(QStringLiteral("Tahoma"), 8));
        tabs.resize(515, 432);
        for (int i = 0; i < kPageCount; ++i) {
            auto* page = new QWidget(&tabs);
            page->setObjectName(QString::fromLatin1(kCaptions[i]).trimmed());
            page->setGeometry(0, 0, 300 + i, 200);
            pages.push_back(page);
        }
    }

    void addTabs(int count) {
        for (int i = 0; i < count; ++i) {
            tabs.AddTab(pages[static_cast<std::size_t>(i)], QString::fromLatin1(kCaptions[i]));
        }
    }

    std::vector<bool> shown() const {
        std::vector<bool> result;
        for (QWidget* page : pages) {
            result.push_back(!page->isHidden());
        }
        return result;
    }

    CMyTab tabs;
    std::vector<QWidget*> pages;
};

TEST_F(TabControlTest, AddingTabsShowsOnlyTheFirstPageAtTheOrigin) {
    addTabs(3);
    EXPECT_EQ(tabs.tabCount(), 3);
    EXPECT_EQ(tabs.currentIndex(), 0);
    EXPECT_FALSE(pages[0]->isHidden());
    EXPECT_TRUE(pages[1]->isHidden());
    EXPECT_TRUE(pages[2]->isHidden());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pages[static_cast<std::size_t>(i)]->pos(), CMyTab::kPageOrigin);
        EXPECT_EQ(pages[static_cast<std::size_t>(i)]->size(), QSize(300 + i, 200));
        EXPECT_EQ(tabs.pageAt(i), pages[static_cast<std::size_t>(i)]);
        EXPECT_EQ(tabs.caption(i), QString::fromLatin1(kCaptions[i]));
    }
    EXPECT_EQ(tabs.pageAt(3), nullptr);
    EXPECT_EQ(tabs.caption(-1), QString());
}

TEST_F(TabControlTest, DeleteAllTabsNeitherHidesNorShowsPages) {
    addTabs(3);
    tabs.setCurrentIndex(2);
    const std::vector<bool> before = shown();
    tabs.DeleteAllTabs();
    EXPECT_EQ(tabs.tabCount(), 0);
    EXPECT_EQ(tabs.currentIndex(), -1);
    EXPECT_EQ(shown(), before);

    // The new first page is shown; the page that was showing and was not added again stays.
    tabs.AddTab(pages[0], QStringLiteral(" General "));
    EXPECT_EQ(tabs.currentIndex(), 0);
    EXPECT_FALSE(pages[0]->isHidden());
    EXPECT_FALSE(pages[2]->isHidden());
}

TEST_F(TabControlTest, ChoosingATabSwapsExactlyTwoPages) {
    struct Way {
        const char* name;
        void (*choose)(CMyTab&, int);
    };
    const Way ways[] = {
        {"setCurrentIndex", [](CMyTab& control, int index) { control.setCurrentIndex(index); }},
        {"click",
         [](CMyTab& control, int index) {
             QTest::mouseClick(&control, Qt::LeftButton, Qt::NoModifier,
                               control.tabRect(index).center());
         }},
        {"accessible action",
         [](CMyTab& control, int index) {
             QAccessibleInterface* tab =
                 QAccessible::queryAccessibleInterface(&control)->child(index);
             tab->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        tabs.DeleteAllTabs();
        for (QWidget* page : pages) {
            page->hide();
        }
        pages[7]->show(); // a page without a tab keeps whatever it had
        addTabs(5);
        QSignalSpy changed(&tabs, &CMyTab::currentChanged);
        way.choose(tabs, 3);
        EXPECT_EQ(tabs.currentIndex(), 3);
        std::vector<bool> expected(kPageCount, false);
        expected[3] = true;
        expected[7] = true;
        EXPECT_EQ(shown(), expected);
        ASSERT_EQ(changed.count(), 1);
        EXPECT_EQ(changed.front().front().toInt(), 3);

        way.choose(tabs, 3);     // the current tab again: nothing happens
        tabs.setCurrentIndex(5); // no such tab
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(shown(), expected);
    }
}

TEST_F(TabControlTest, ArrowKeysMoveTheSelection) {
    addTabs(4);
    QTest::keyClick(&tabs, Qt::Key_Right);
    QTest::keyClick(&tabs, Qt::Key_Right);
    EXPECT_EQ(tabs.currentIndex(), 2);
    QTest::keyClick(&tabs, Qt::Key_Left);
    EXPECT_EQ(tabs.currentIndex(), 1);
    QTest::keyClick(&tabs, Qt::Key_End);
    EXPECT_EQ(tabs.currentIndex(), 3);
    QTest::keyClick(&tabs, Qt::Key_Right);
    EXPECT_EQ(tabs.currentIndex(), 3);
}

TEST_F(TabControlTest, FifteenTabsWrapOntoJustifiedRowsAboveThePages) {
    addTabs(kPageCount);
    ASSERT_GE(tabs.rowCount(), 2);
    std::vector<int> rightEdge(static_cast<std::size_t>(tabs.rowCount()), 0);
    for (int i = 0; i < kPageCount; ++i) {
        const QRect rect = tabs.tabRect(i);
        EXPECT_GE(rect.left(), 0);
        EXPECT_LE(rect.right(), tabs.width() - 1);
        EXPECT_LE(rect.bottom(), CMyTab::kPageOrigin.y());
        EXPECT_GE(rect.top(), 0);
        EXPECT_GE(rect.width(), tabs.fontMetrics().horizontalAdvance(tabs.caption(i)));
        if (i > 0) {
            EXPECT_GE(tabs.rowOf(i), tabs.rowOf(i - 1)) << "rows follow tab order";
        }
        int& edge = rightEdge[static_cast<std::size_t>(tabs.rowOf(i))];
        edge = std::max(edge, rect.right());
    }
    for (int edge : rightEdge) {
        EXPECT_EQ(edge, rightEdge.front()) << "every row spans the same width";
    }

    // The row of the selected tab sits next to the pages; choosing a tab in another row
    // brings that row down.
    auto lowestRowTop = [this] {
        int top = 0;
        for (int i = 0; i < kPageCount; ++i) {
            top = std::max(top, tabs.tabRect(i).top());
        }
        return top;
    };
    EXPECT_EQ(tabs.tabRect(0).top(), lowestRowTop());
    const int last = kPageCount - 1;
    ASSERT_NE(tabs.rowOf(last), tabs.rowOf(0));
    const QRect before = tabs.tabRect(last);
    QTest::mouseClick(&tabs, Qt::LeftButton, Qt::NoModifier, before.center());
    EXPECT_EQ(tabs.currentIndex(), last);
    EXPECT_EQ(tabs.tabRect(last).top(), lowestRowTop());
    EXPECT_NE(tabs.tabRect(0).top(), lowestRowTop());
}

TEST_F(TabControlTest, PaintsWithoutTabsAndWithManyRows) {
    EXPECT_FALSE(tabs.grab().isNull());
    addTabs(kPageCount);
    tabs.resize(120, 300); // so narrow that every tab needs its own row
    EXPECT_GE(tabs.rowCount(), kPageCount - 2);
    EXPECT_FALSE(tabs.grab().isNull());
}

// Pages are transparent, so whatever the control paints in the page area shows through them.
TEST_F(TabControlTest, TheSelectedTabPaintsNothingIntoThePageArea) {
    addTabs(kPageCount);
    tabs.setCurrentIndex(10);
    for (QWidget* page : pages) {
        page->hide();
    }
    const QImage picture = tabs.grab().toImage();
    const QRect tab = tabs.tabRect(10);
    const QRect area = tabs.pageArea();
    const QColor pane = picture.pixelColor(area.right() - 10, area.bottom() - 10);
    for (int y = area.top() + 4; y < area.top() + 80; y += 4) {
        EXPECT_EQ(picture.pixelColor(tab.center().x(), y), pane) << "at y " << y;
    }
}

TEST_F(TabControlTest, APageDeletedWhileItsTabExistsIsSkipped) {
    addTabs(3);
    delete pages[1];
    pages.erase(pages.begin() + 1);
    EXPECT_EQ(tabs.pageAt(1), nullptr);
    tabs.setCurrentIndex(1);
    tabs.setCurrentIndex(2);
    EXPECT_FALSE(pages[1]->isHidden()); // old page 2
}

TEST(TabControlOwnership, DestroyingTheControlLeavesThePagesToTheirOwner) {
    auto control = std::make_unique<CMyTab>();
    std::unique_ptr<QWidget> page(new QWidget(control.get()));
    control->AddTab(page.get(), QStringLiteral(" General "));
    control.reset();
    EXPECT_EQ(page->parentWidget(), nullptr);
}

TEST_F(TabControlTest, TabsArePageTabsForAssistiveTechnology) {
    addTabs(3);
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(&tabs);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->role(), QAccessible::PageTabList);
    // The tabs only; each holds its page, and the pages without a tab are not there at all.
    EXPECT_EQ(control->childCount(), 3);
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface* tab = control->child(i);
        ASSERT_NE(tab, nullptr);
        EXPECT_EQ(tab->role(), QAccessible::PageTab);
        EXPECT_EQ(tab->text(QAccessible::Name), QString::fromLatin1(kCaptions[i]));
        EXPECT_EQ(tab->state().selected, i == 0);
        EXPECT_EQ(tab->parent(), control);
        EXPECT_EQ(control->indexOfChild(tab), i);
        ASSERT_EQ(tab->childCount(), 1);
        QAccessibleInterface* page = tab->child(0);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->object(), pages[static_cast<std::size_t>(i)]);
        EXPECT_EQ(page->parent(), tab);
        EXPECT_EQ(tab->indexOfChild(page), 0);
    }

    QAccessibleInterface* third = control->child(2);
    EXPECT_EQ(third->actionInterface()->actionNames(),
              QStringList{QAccessibleActionInterface::pressAction()});
    third->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(tabs.currentIndex(), 2);
    EXPECT_TRUE(third->state().selected);

    tabs.DeleteAllTabs();
    EXPECT_FALSE(third->isValid());
    EXPECT_EQ(control->childCount(), 0);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(pages[0])->parent(), control);
}

} // namespace
