// One whole session at the window as a technician runs it - read a pager, edit, write it back,
// save the image, load it again, close - so that the address-sanitizer build's leak check at
// exit covers everything a session allocates.
#include "../ui/main/MainWindowRig.h"

#include "link/sim/FactoryPagers.h"
#include "programming/ProgrammingTexts.h"
#include "ui/controls/ControlId.h"
#include "ui/pages/GeneralPage.h"

#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

TEST(DemoSession, ReadWriteSaveLoadAndClose) {
    MainWindowRig rig;
    auto cradle = rig.PlugCradle(MakeFactoryPager(FactoryPager::V2));
    CTarnwick4730NewDlg& window = rig.Start();

    window.readClicked();
    ASSERT_TRUE(rig.WaitForTransfer());
    auto* startup = FindControl<QLineEdit>(&window.pages().page(PageKind::General),
                                           CInputCapcode::kStartupTextEdit);
    ASSERT_NE(startup, nullptr);
    startup->setText(QStringLiteral("DEMO SESSION"));
    window.writeClicked();
    ASSERT_TRUE(rig.WaitForTransfer());
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.context.settings.startupText.substr(0, 12), "DEMO SESSION");
    const PagerImage& written = rig.context.image;
    const PagerImage& memory = cradle->Memory();
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 256, memory.begin()));
    EXPECT_TRUE(std::equal(written.begin() + 1024, written.begin() + 5120, memory.begin() + 1024));
    EXPECT_EQ(ReadFileBytes(rig.Path("TempData.sav")), written);

    const QString saved = QString::fromStdString(rig.Path("session.sav").string());
    rig.files.answers = {saved};
    window.saveClicked();
    startup->setText(QStringLiteral("CHANGED"));
    rig.files.answers = {saved};
    window.loadClicked();

    EXPECT_EQ(startup->text().trimmed(), "DEMO SESSION");
    EXPECT_TRUE(rig.messages.shown.empty());
    window.close();
    rig.window.reset();
}

} // namespace
