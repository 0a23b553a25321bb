#include "GeneralPageTestSupport.h"

#include "image/ImageFiles.h"
#include "link/sim/InProcessCradleBackend.h"
#include "programming/TransferWorkers.h"
#include "ui/pages/ChangeSerialPasswordDialog.h"
#include "ui/pages/RepairPagerDialog.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::vector<QString> Texts(const QList<QLabel*>& labels) {
    std::vector<QString> texts;
    for (const QLabel* label : labels) {
        texts.push_back(label->text());
    }
    return texts;
}

// ---- The serial-number access dialog ----

TEST(ChangeSerialPasswordDialog, ReturnsTheTypedCodeOnOkAndCancelsOnExit) {
    struct Case {
        const char* typed;
        int button;
        QDialog::DialogCode result;
    };
    const Case cases[] = {
        {"techmod952", CChangeSNPassword::kOkButton, QDialog::Accepted},
        {"", CChangeSNPassword::kOkButton, QDialog::Accepted},
        {"techmod952", CChangeSNPassword::kExitButton, QDialog::Rejected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        CChangeSNPassword dialog;
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tarnwick Wireless 4730"));
        EXPECT_EQ(Texts(dialog.findChildren<QLabel*>()),
                  std::vector<QString>{QStringLiteral("Input password")});
        auto* edit = FindControl<QLineEdit>(&dialog, CChangeSNPassword::kCodeEdit);
        auto* ok = FindControl<QPushButton>(&dialog, CChangeSNPassword::kOkButton);
        auto* exit = FindControl<QPushButton>(&dialog, CChangeSNPassword::kExitButton);
        ASSERT_TRUE(edit && ok && exit);
        EXPECT_EQ(ok->text(), QStringLiteral("OK"));
        EXPECT_EQ(exit->text(), QStringLiteral("EXIT"));
        EXPECT_TRUE(ok->isDefault());
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        QTest::keyClicks(edit, QLatin1String(c.typed));
        QTest::mouseClick(FindControl<QPushButton>(&dialog, c.button), Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), c.result);
        EXPECT_EQ(dialog.code(), QLatin1String(c.typed));
    }
}

TEST(ChangeSerialPasswordDialog, LongCodesAreNotCut) {
    CChangeSNPassword dialog;
    const QString typed(300, QLatin1Char('x'));
    QTest::keyClicks(FindControl<QLineEdit>(&dialog, CChangeSNPassword::kCodeEdit), typed);
    EXPECT_EQ(dialog.code(), typed);
}

// The page with its real, modal dialogs: the dialog is answered from inside its own loop.
TEST(GeneralPageDialogs, ChangeSerialRunsTheDialogModally) {
    ProgrammerContext context;
    RecordingMessageBoxService messages;
    CInputCapcode page({context, messages});
    page.show();
    auto answer = [](int button) {
        QTimer::singleShot(0, [button] {
            auto* dialog = qobject_cast<CChangeSNPassword*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            QTest::keyClicks(FindControl<QLineEdit>(dialog, CChangeSNPassword::kCodeEdit),
                             QStringLiteral("techmod952"));
            QTest::mouseClick(FindControl<QPushButton>(dialog, button), Qt::LeftButton);
        });
    };
    auto* changeSerial = FindControl<QPushButton>(&page, CInputCapcode::kChangeSerialButton);
    answer(CChangeSNPassword::kExitButton);
    QTest::mouseClick(changeSerial, Qt::LeftButton);
    EXPECT_FALSE(context.state.serialWriteEnabled.load()) << "EXIT compares nothing";
    answer(CChangeSNPassword::kOkButton);
    QTest::mouseClick(changeSerial, Qt::LeftButton);
    EXPECT_TRUE(context.state.serialWriteEnabled.load());
    EXPECT_TRUE(messages.shown().empty());
}

// ---- The repair dialog and its request ----

// Runs each test in a fresh current directory, where the repair looks for "default.sav".
class RepairTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder.path().toStdString());
        for (std::size_t i = 0; i < kImageSize; ++i) {
            context.image[i] = static_cast<std::uint8_t>(0xA0 ^ i);
        }
        before = context.image;
    }
    void TearDown() override { std::filesystem::current_path(previous); }

    void WriteDefaultSav(const std::vector<std::uint8_t>& bytes) {
        std::ofstream file("default.sav", std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<std::uint8_t> FileBytes(std::size_t size, std::uint8_t seed) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>(seed + 7 * i);
        }
        return bytes;
    }
    void Click(CRepairPager& dialog, int id) {
        QTest::mouseClick(FindControl<QPushButton>(&dialog, id), Qt::LeftButton);
    }
    std::uint8_t Request() const { return context.state.repairWriteRequest.load(); }

    QTemporaryDir folder;
    std::filesystem::path previous;
    ProgrammerContext context;
    RecordingMessageBoxService messages;
    PageEnvironment environment{context, messages};
    PagerImage before{};
};

TEST_F(RepairTest, DialogShowsItsTextsAndButtons) {
    CRepairPager dialog(environment);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Pager Programmer"));
    EXPECT_EQ(Texts(dialog.findChildren<QLabel*>()),
              (std::vector<QString>{"This menu will repair pagers with corrupt settings.",
                                    "To continue,please install the pager into the cradle",
                                    "and select the model of pager below."}));
    const std::pair<int, const char*> buttons[] = {
        {CRepairPager::kV1Button, "V1 Pager"},
        {CRepairPager::kV2Button, "V2 Pager"},
        {CRepairPager::kExitButton, "Exit"},
    };
    for (const auto& [id, text] : buttons) {
        auto* button = FindControl<QPushButton>(&dialog, id);
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->text(), QLatin1String(text));
        EXPECT_EQ(button->isDefault(), id == CRepairPager::kExitButton);
    }
    Click(dialog, CRepairPager::kExitButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(Request(), kRepairIdle);
}

TEST_F(RepairTest, ModelButtonsStampTheirIdentityOverTheFile) {
    struct Case {
        const char* fileIdentity;
        int button;
        std::array<std::uint8_t, 4> stamped;
    };
    const Case cases[] = {
        {"2011", CRepairPager::kV2Button, kIdentityV2},
        {"W50C", CRepairPager::kV1Button, kIdentityV1},
        {"W50C", CRepairPager::kV2Button, kIdentityV2},
    };
    CRepairPager dialog(environment);
    dialog.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileIdentity);
        std::vector<std::uint8_t> bytes = FileBytes(kImageSize, 3);
        std::copy_n(c.fileIdentity, 4, bytes.begin());
        WriteDefaultSav(bytes);
        context.state.repairWriteRequest = kRepairIdle;
        Click(dialog, c.button);
        EXPECT_TRUE(std::equal(c.stamped.begin(), c.stamped.end(), context.image.begin()));
        EXPECT_TRUE(std::equal(bytes.begin() + 4, bytes.end(), context.image.begin() + 4));
        EXPECT_EQ(Request(), kRepairRequested);
        EXPECT_TRUE(dialog.isVisible()) << "the dialog stays open for the next pager";
    }
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(RepairTest, FileSizeDecidesHowMuchOfTheImageIsReplaced) {
    struct Case {
        std::size_t size;
        std::size_t replaced;
    };
    const Case cases[] = {{100, 100}, {2, 2}, {0, 0}, {kImageSize + 50, kImageSize}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        context.image = before;
        const std::vector<std::uint8_t> bytes = FileBytes(c.size, 11);
        WriteDefaultSav(bytes);
        EXPECT_EQ(RequestRepairWrite(context, "default.sav", kIdentityV2),
                  RepairRequestResult::Requested);
        PagerImage expected = before;
        std::copy_n(bytes.begin(), c.replaced, expected.begin());
        std::copy(kIdentityV2.begin(), kIdentityV2.end(), expected.begin());
        EXPECT_EQ(context.image, expected);
    }
}

TEST_F(RepairTest, MissingFileDoesNothingAndSaysNothing) {
    context.settings.startupText = "KEEP";
    const PagerSettings settingsBefore = context.settings;
    CRepairPager dialog(environment);
    Click(dialog, CRepairPager::kV2Button);
    Click(dialog, CRepairPager::kV1Button);
    EXPECT_EQ(context.image, before);
    EXPECT_EQ(Request(), kRepairIdle);
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(context.settings, settingsBefore);

    std::filesystem::create_directory("default.sav");
    Click(dialog, CRepairPager::kV2Button);
    EXPECT_EQ(context.image, before) << "a folder of that name cannot be read either";
    EXPECT_EQ(Request(), kRepairIdle);
}

TEST_F(RepairTest, RequestIsRefusedWhileAReadOrWriteRuns) {
    WriteDefaultSav(FileBytes(kImageSize, 5));
    context.state.busy = true;
    CRepairPager dialog(environment);
    Click(dialog, CRepairPager::kV1Button);
    ASSERT_EQ(messages.requests(), std::vector<MessageRequest>{RepairBusy()});
    EXPECT_EQ(messages.shown().front().owner, &dialog);
    EXPECT_EQ(context.image, before);
    EXPECT_EQ(Request(), kRepairIdle);

    context.state.busy = false;
    Click(dialog, CRepairPager::kV1Button);
    EXPECT_EQ(Request(), kRepairRequested);
}

} // namespace
