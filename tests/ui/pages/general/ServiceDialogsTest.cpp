#include "GeneralPageTestSupport.h"
#include "tests/ui/EventLoopWait.h"

#include "link/sim/InProcessCradleBackend.h"
#include "ui/controls/HoverButton.h"
#include "ui/main/FileChooserService.h"
#include "ui/main/MainWindow.h"
#include "ui/pages/ChangeSerialPasswordDialog.h"
#include "ui/pages/RepairPagerDialog.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// How long a repair write through the window may take under the sanitizers.
constexpr int kWaitMs = 10000;

std::vector<QString> LabelTexts(QWidget* dialog) {
    std::vector<QString> texts;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        texts.push_back(label->text());
    }
    return texts;
}

void Click(QWidget* root, int id) {
    QTest::mouseClick(FindControl<QPushButton>(root, id), Qt::LeftButton);
}

// Answers the next modal dialog from inside its own event loop.
template <class Dialog> void WhenOpen(std::function<void(Dialog*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

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
        EXPECT_EQ(LabelTexts(&dialog), std::vector<QString>{"Input password"});
        auto* edit = FindControl<QLineEdit>(&dialog, CChangeSNPassword::kCodeEdit);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        EXPECT_EQ(FindControl<QPushButton>(&dialog, 1)->text(), QStringLiteral("OK"));
        EXPECT_EQ(FindControl<QPushButton>(&dialog, 2)->text(), QStringLiteral("EXIT"));
        EXPECT_TRUE(FindControl<QPushButton>(&dialog, 1)->isDefault());
        QTest::keyClicks(edit, QLatin1String(c.typed));
        Click(&dialog, c.button);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), c.result);
        EXPECT_EQ(dialog.code(), QLatin1String(c.typed));
    }
}

// The page with its real, modal dialog.
TEST(GeneralPageDialogs, ChangeSerialRunsTheDialogModally) {
    ProgrammerContext context;
    RecordingMessageBoxService messages;
    CInputCapcode page({context, messages});
    page.show();
    for (const int button : {CChangeSNPassword::kExitButton, CChangeSNPassword::kOkButton}) {
        WhenOpen<CChangeSNPassword>([button](CChangeSNPassword* dialog) {
            QTest::keyClicks(FindControl<QLineEdit>(dialog, CChangeSNPassword::kCodeEdit),
                             QStringLiteral("techmod952"));
            Click(dialog, button);
        });
        Click(&page, CInputCapcode::kChangeSerialButton);
        EXPECT_EQ(context.state.serialWriteEnabled.load(), button == CChangeSNPassword::kOkButton)
            << "EXIT compares nothing";
    }
    EXPECT_TRUE(messages.shown().empty());
}

// Each test in a fresh current directory, where the repair looks for "default.sav".
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

    // A default.sav of the given size and a recognisable content, with an identity when given.
    static std::vector<std::uint8_t> WriteDefaultSav(std::size_t size, const char* identity = "") {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>(0x5A ^ (i * 13));
        }
        std::copy_n(identity, std::min(std::strlen(identity), size), bytes.begin());
        std::ofstream("default.sav", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return bytes;
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
    EXPECT_EQ(LabelTexts(&dialog),
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
    Click(&dialog, CRepairPager::kExitButton);
    EXPECT_FALSE(dialog.isVisible());
}

// The file replaces as much of the image as it holds; the button's identity replaces bytes
// 0..3 whatever the file says; the dialog stays open for the next pager.
TEST_F(RepairTest, ModelButtonsLoadTheFileAndStampTheirIdentity) {
    struct Case {
        std::size_t size;
        const char* fileIdentity;
        int button;
        std::array<std::uint8_t, 4> stamped;
    };
    const Case cases[] = {
        {kImageSize, "2011", CRepairPager::kV2Button, kIdentityV2},
        {kImageSize, "W50C", CRepairPager::kV1Button, kIdentityV1},
        {100, "W50C", CRepairPager::kV2Button, kIdentityV2},
        {2, "", CRepairPager::kV1Button, kIdentityV1},
        {kImageSize + 50, "", CRepairPager::kV2Button, kIdentityV2},
    };
    CRepairPager dialog(environment);
    dialog.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        context.image = before;
        context.state.repairWriteRequest = kRepairIdle;
        const std::vector<std::uint8_t> file = WriteDefaultSav(c.size, c.fileIdentity);
        Click(&dialog, c.button);
        PagerImage expected = before;
        std::copy_n(file.begin(), std::min(c.size, kImageSize), expected.begin());
        std::copy(c.stamped.begin(), c.stamped.end(), expected.begin());
        EXPECT_EQ(context.image, expected);
        EXPECT_EQ(Request(), kRepairRequested);
        EXPECT_TRUE(dialog.isVisible());
    }
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(RepairTest, MissingFileDoesNothingAndSaysNothing) {
    context.settings.startupText = "KEEP";
    const PagerSettings settingsBefore = context.settings;
    CRepairPager dialog(environment);
    Click(&dialog, CRepairPager::kV2Button);
    std::filesystem::create_directory("default.sav"); // a name that cannot be read either
    Click(&dialog, CRepairPager::kV1Button);
    EXPECT_EQ(context.image, before);
    EXPECT_EQ(Request(), kRepairIdle);
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(context.settings, settingsBefore);
}

// The whole program in one process: the main window, its General page opening the real modal
// repair dialog, and a simulated cradle holding a V1 pager.
class RepairInMainWindowTest : public RepairTest {
protected:
    void SetUp() override {
        RepairTest::SetUp();
        backend->AddCradle(cradle);
        context.usb = MakeLayerOver(backend);
        window = std::make_unique<CTarnwick4730NewDlg>(
            MainWindowServices{context, messages, files, [](std::chrono::milliseconds) {}});
        window->show();
        ASSERT_TRUE(WaitUntil(
            [&] { return window->button(CTarnwick4730NewDlg::kWriteId).isEnabled(); }, kWaitMs));
    }
    void TearDown() override {
        window.reset();
        RepairTest::TearDown();
    }

    CInputCapcode& General() const { return window->pages().general(); }
    bool TransferDone() const { return Request() == kRepairIdle && !window->isTransferRunning(); }

    class NoFiles final : public FileChooserService {
        std::optional<QString> Choose(QWidget*, const FileDialogRequest&) override {
            return std::nullopt;
        }
    } files;
    const PagerImage pagerBefore = MakeFactoryPager(FactoryPager::V1);
    std::shared_ptr<CradleSimulator> cradle = std::make_shared<CradleSimulator>(pagerBefore);
    std::shared_ptr<InProcessCradleBackend> backend = std::make_shared<InProcessCradleBackend>();
    std::unique_ptr<CTarnwick4730NewDlg> window;
};

TEST_F(RepairInMainWindowTest, PagerEndsUpHoldingDefaultSavWithTheChosenIdentity) {
    // default.sav appears after start-up, so the pages hold other settings than the repair.
    const std::vector<std::uint8_t> file = WriteDefaultSav(kImageSize, "2011");
    auto* capcode = FindControl<QLineEdit>(&General(), CInputCapcode::kCapcodeEdits[0]);
    capcode->setText(QStringLiteral("100"));
    FindControl<QCheckBox>(&General(), CInputCapcode::kEnableBoxes[0])->setChecked(true);
    FindControl<QComboBox>(&General(), CInputCapcode::kStepLists[0])->setCurrentIndex(1);

    bool repaired = false;
    WhenOpen<CRepairPager>([&](CRepairPager* dialog) {
        Click(dialog, CRepairPager::kV2Button);
        // The window's timer starts the write behind the open dialog.
        repaired = WaitUntil([&] { return TransferDone(); }, kWaitMs);
        Click(dialog, CRepairPager::kExitButton);
    });
    Click(&General(), CInputCapcode::kRepairButton);
    ASSERT_TRUE(repaired);

    PagerImage expected = pagerBefore;
    for (const auto& [start, end] : {std::pair{0, 256}, {288, 320}, {1024, 5120}}) {
        std::copy(file.begin() + start, file.begin() + end, expected.begin() + start);
    }
    std::copy(kIdentityV2.begin(), kIdentityV2.end(), expected.begin());
    EXPECT_EQ(cradle->Memory(), expected) << "the file as it is; serial block left alone";
    EXPECT_TRUE(messages.shown().empty()) << "no identity question, no capcode check";
    EXPECT_EQ(capcode->text(), QStringLiteral("100")) << "no increment after a repair";
}

TEST_F(RepairInMainWindowTest, ARepairClickedWhileTheWriteRunsIsRefused) {
    const std::vector<std::uint8_t> file = WriteDefaultSav(kImageSize);
    bool finished = false;
    WhenOpen<CRepairPager>([&](CRepairPager* dialog) {
        Click(dialog, CRepairPager::kV1Button);
        // Every block the worker writes passes through this thread's event loop, so the
        // second click lands while the write runs.
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            if (window->isTransferRunning()) {
                clicker.stop();
                Click(dialog, CRepairPager::kV2Button);
            }
        });
        clicker.start(0);
        finished = WaitUntil([&] { return !clicker.isActive() && TransferDone(); }, kWaitMs);
        Click(dialog, CRepairPager::kExitButton);
    });
    Click(&General(), CInputCapcode::kRepairButton);
    ASSERT_TRUE(finished);

    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{RepairBusy()});
    const PagerImage memory = cradle->Memory();
    EXPECT_TRUE(std::equal(kIdentityV1.begin(), kIdentityV1.end(), memory.begin()));
    EXPECT_TRUE(std::equal(file.begin() + 4, file.begin() + 256, memory.begin() + 4));
    EXPECT_TRUE(std::equal(kIdentityV1.begin(), kIdentityV1.end(), context.image.begin()))
        << "the image still holds the repair that was written";
    EXPECT_EQ(Request(), kRepairIdle) << "no repair left waiting to take over the next Write";
}

} // namespace
