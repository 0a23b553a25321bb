#include "MainWindowRig.h"

#include "image/ImageCodec.h"
#include "link/sim/FactoryPagers.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/DialogUnits.h"
#include "ui/controls/HoverButton.h"
#include "ui/controls/SettingsTabControl.h"
#include "ui/main/AboutDialog.h"
#include "ui/pages/GeneralPage.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QString SerialShown(const CTarnwick4730NewDlg& window) {
    auto& general = window.pages().page(PageKind::General);
    return FindControl<QLineEdit>(&general, CInputCapcode::kSerialEdit)->text();
}

TEST(MainWindowStartup, WithoutStartupImageShowsTheInitialSettingsInV2Mode) {
    MainWindowRig rig;
    rig.context.state.programmingMode = Generation::V1; // the window always starts in V2 mode
    CTarnwick4730NewDlg& window = rig.Start();

    EXPECT_EQ(window.windowTitle(), "4730 & 6920 Pager Programmer v3.05 (V2 mode)");
    EXPECT_EQ(rig.TabCaptions(), std::vector<QString>{" General "});
    EXPECT_EQ(rig.VisiblePages(), std::vector<PageKind>{PageKind::General});
    EXPECT_EQ(rig.context.state.tabLockState.load(), TabLockState::Locked);
    EXPECT_EQ(rig.context.settings, PagerSettings{});
    EXPECT_EQ(rig.context.image, PagerImage{});
    EXPECT_EQ(rig.context.state.workingDirectory, rig.folder.path().toStdString());

    // No cradle: Read and Write are greyed, without a message; the others stay usable.
    EXPECT_FALSE(window.button(CTarnwick4730NewDlg::kReadId).isEnabled());
    EXPECT_FALSE(window.button(CTarnwick4730NewDlg::kWriteId).isEnabled());
    for (int id : {CTarnwick4730NewDlg::kSaveId, CTarnwick4730NewDlg::kLoadId,
                   CTarnwick4730NewDlg::kExitId}) {
        EXPECT_TRUE(window.button(id).isEnabled()) << id;
    }
    EXPECT_TRUE(rig.messages.shown.empty());
    // Nothing was decoded or gathered, so the working file was not touched.
    EXPECT_FALSE(std::filesystem::exists(rig.Path("TempData.sav")));
}

TEST(MainWindowStartup, LoadsTheStartupImageAndShowsItsSettings) {
    MainWindowRig rig;
    PagerImage file = MakeFactoryPager(FactoryPager::V2);
    file[300] = 0x1A; // bytes are taken raw
    file[301] = 0x0D;
    WriteFileBytes(rig.Path("default.sav"), file.data(), file.size());
    rig.PlugCradle(MakeFactoryPager(FactoryPager::V2));
    CTarnwick4730NewDlg& window = rig.Start();

    EXPECT_EQ(rig.context.image, file);
    PagerSettings expected;
    DecodeImage(file, Generation::V2, expected);
    EXPECT_EQ(rig.context.settings, expected);
    ASSERT_FALSE(expected.serialNumber.empty());
    EXPECT_EQ(SerialShown(window).trimmed(), QString::fromLatin1(expected.serialNumber).trimmed());
    EXPECT_EQ(ReadFileBytes(rig.Path("TempData.sav")), file);
    EXPECT_TRUE(window.button(CTarnwick4730NewDlg::kReadId).isEnabled());
    EXPECT_TRUE(window.button(CTarnwick4730NewDlg::kWriteId).isEnabled());
}

TEST(MainWindowLayout, ControlsSitWhereTheLayoutPutsThemWithTheirIdsAndNames) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    EXPECT_EQ(window.font().family(), "Tahoma");
    EXPECT_EQ(window.font().pointSize(), 8);
    const DialogBaseUnits units = BaseUnitsOf(window.font());
    EXPECT_EQ(window.size(), DialogSizeToPixels(CTarnwick4730NewDlg::kDialogSize, units));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowIcon().isNull());

    for (const auto& placement : CTarnwick4730NewDlg::kButtons) {
        SCOPED_TRACE(placement.caption);
        auto* button = FindControl<CButtonEx>(&window, placement.id);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), placement.caption);
        EXPECT_EQ(button->accessibleName(), placement.caption);
        EXPECT_EQ(button->geometry(), DialogRectToPixels(placement.rect, units));
        ASSERT_TRUE(button->ownFont().has_value());
        EXPECT_EQ(button->ownFont()->family(), "Tahoma");
        EXPECT_EQ(button->ownFont()->pointSizeF(), 20.0);
        EXPECT_EQ(button->faceColour(), QColor(236, 233, 216));
    }

    auto* tabs = FindControl<CMyTab>(&window, CTarnwick4730NewDlg::kTabControlId);
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->geometry(), DialogRectToPixels(CTarnwick4730NewDlg::kTabControlRect, units));
    auto* status = FindControl<QLineEdit>(&window, CTarnwick4730NewDlg::kStatusId);
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isReadOnly());
    EXPECT_EQ(status->geometry(), DialogRectToPixels(CTarnwick4730NewDlg::kStatusRect, units));
    auto* progress = FindControl<QProgressBar>(&window, CTarnwick4730NewDlg::kProgressId);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->geometry(), DialogRectToPixels(CTarnwick4730NewDlg::kProgressRect, units));
    for (QWidget* control : {static_cast<QWidget*>(tabs), static_cast<QWidget*>(status),
                             static_cast<QWidget*>(progress)}) {
        EXPECT_FALSE(control->accessibleName().isEmpty()) << ControlIdOf(control);
    }
}

TEST(MainWindowPainting, BackgroundStopsThirtyPixelsAboveTheBottom) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    const QRect client = window.rect();
    EXPECT_EQ(window.backgroundRect().bottom(), client.bottom() - 30);

    const QImage shot = window.grab().toImage();
    const QColor windowColour = window.palette().color(QPalette::Window);
    // Left of the status box, below the picture: the plain window colour.
    EXPECT_EQ(shot.pixelColor(2, client.bottom() - 2), windowColour);
    // Just above the picture's bottom edge, left of the buttons: the picture.
    EXPECT_NE(shot.pixelColor(2, client.bottom() - 34), windowColour);
    // The header band is drawn from the picture, not left empty.
    EXPECT_NE(shot.pixelColor(client.width() / 2, 5), windowColour);
}

TEST(MainWindowDestroy, ClosesTheCradleAndWritesNothing) {
    MainWindowRig rig;
    rig.PlugCradle(MakeFactoryPager(FactoryPager::V2));
    rig.Start();
    ASSERT_TRUE(rig.context.channel && rig.context.channel->IsOpen());
    rig.window.reset();

    EXPECT_EQ(rig.context.channel, nullptr);
    // The cradle was released: another channel can open it.
    CC8051f320Usb again(*rig.context.usb);
    EXPECT_TRUE(again.Open(kCradleDeviceString));
    for (const char* name : {"TempData.sav", "default.sav"}) {
        EXPECT_FALSE(std::filesystem::exists(rig.Path(name))) << name;
    }
}

TEST(AboutBox, TheContextMenuOpensItWithTheVersionLine) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    QString offered;
    bool versionShown = false;
    // The menu and the box are modal: look at them from the event loop they run.
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || menu->actions().isEmpty()) {
            return;
        }
        offered = menu->actions().front()->text();
        QTimer::singleShot(50, [&] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                versionShown = std::ranges::any_of(about->findChildren<QLabel*>(), [](auto* label) {
                    return label->text() == "4730 & 6920 Pager Programmer Version 3.05";
                });
                FindControl<QPushButton>(about, CAboutDlg::kOkId)->click();
            }
        });
        menu->actions().front()->trigger();
        menu->close();
    });
    const QPoint inHeader(window.width() / 2, 10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, inHeader, window.mapToGlobal(inHeader));
    QApplication::sendEvent(&window, &event);
    QTest::qWait(200);

    EXPECT_EQ(offered, "About...");
    EXPECT_TRUE(versionShown);
}

} // namespace
