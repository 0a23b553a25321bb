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

const MessageRequest kRepairBusy{
    "The pager is being read or written. Please wait until it has finished, then repair again.",
    "Pager Programmer", MessageIcon::Information, MessageButtons::Ok};

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
    ASSERT_EQ(messages.requests(), std::vector<MessageRequest>{kRepairBusy});
    EXPECT_EQ(messages.shown().front().owner, &dialog);
    EXPECT_EQ(context.image, before);
    EXPECT_EQ(Request(), kRepairIdle);

    context.state.busy = false;
    Click(dialog, CRepairPager::kV1Button);
    EXPECT_EQ(Request(), kRepairRequested);
}

// ---- A whole repair: the page's button, the dialog, a write to a simulated cradle ----

// Stands in for the main window: runs the worker's calls on the user-interface thread, blocking,
// in order, and runs the General page's operations there.
class PageHost final : public ProgrammingHost {
public:
    explicit PageHost(CInputCapcode& page) : page_(page) {}

    std::function<void()> onFirstStep;

    std::vector<std::string> Calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<MessageRequest> Messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }

    void EnableTransferButtons(bool) override { Record("buttons"); }
    MessageAnswer ShowMessage(const MessageRequest& request) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(request);
        return MessageAnswer::Ok;
    }
    void SetStatusText(const std::string& text) override {
        if (!text.empty()) {
            Record("status:" + text);
        }
    }
    void SetProgressRange(int, int) override {}
    void SetProgressStep(int) override {}
    void SetProgressPosition(int) override {}
    void StepProgress() override {
        if (onFirstStep) {
            OnUiThread(std::exchange(onFirstStep, nullptr));
        }
    }
    void DecodeImage() override { Record("decode"); }
    void RebuildTabs() override { Record("rebuild"); }
    void ShowSettings() override { Record("show"); }
    void GatherPages() override { Record("gather"); }
    void LoadGeneralPage() override {
        Record("load-general");
        OnUiThread([this] { page_.loadFromSettings(); });
    }
    void IncrementCapcodes() override {
        Record("increment");
        OnUiThread([this] { page_.incrementCapcodes(); });
    }

private:
    void Record(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    static void OnUiThread(const std::function<void()>& call) {
        QMetaObject::invokeMethod(qApp, call, Qt::BlockingQueuedConnection);
    }

    CInputCapcode& page_;
    std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<MessageRequest> messages_;
};

class RepairWriteTest : public RepairTest {
protected:
    void SetUp() override {
        RepairTest::SetUp();
        backend->AddCradle(cradle);
        context.usb = MakeLayerOver(backend);
        context.channel = std::make_unique<CC8051f320Usb>(*context.usb);
        ASSERT_TRUE(context.channel->Open(kCradleDeviceString));
        page.setServiceDialogRunner(std::move(scripted));
    }

    // What the main window's timer does with a request, then waiting for the worker while
    // serving its calls.
    void TimerTick() {
        std::uint8_t requested = kRepairRequested;
        if (context.state.repairWriteRequest.compare_exchange_strong(requested, kRepairUnderWay)) {
            ASSERT_TRUE(workers.StartWrite());
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (workers.IsRunning() && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        ASSERT_FALSE(workers.IsRunning());
        workers.Wait();
    }

    const PagerImage pagerBefore = MakeFactoryPager(FactoryPager::V1);
    std::shared_ptr<CradleSimulator> cradle = std::make_shared<CradleSimulator>(pagerBefore);
    std::shared_ptr<InProcessCradleBackend> backend = std::make_shared<InProcessCradleBackend>();
    std::unique_ptr<ScriptedServiceDialogs> scripted = std::make_unique<ScriptedServiceDialogs>();
    ScriptedServiceDialogs& dialogs = *scripted;
    CInputCapcode page{environment};
    PageHost host{page};
    TransferWorkers workers{context, host, [](std::chrono::milliseconds) {}};
};

TEST_F(RepairWriteTest, RepairLeavesThePagerHoldingDefaultSavWithTheChosenIdentity) {
    std::vector<std::uint8_t> file = FileBytes(kImageSize, 1);
    std::copy_n("2011", 4, file.begin());
    WriteDefaultSav(file);
    // A batch row whose capcode the increment advances after the write.
    auto* capcode = FindControl<QLineEdit>(&page, CInputCapcode::kCapcodeEdits[0]);
    capcode->setText(QStringLiteral("100"));
    FindControl<QCheckBox>(&page, CInputCapcode::kEnableBoxes[0])->setChecked(true);
    FindControl<QComboBox>(&page, CInputCapcode::kStepLists[0])->setCurrentIndex(1);

    dialogs.repair = [this](QWidget* owner) {
        CRepairPager dialog(environment, owner);
        dialog.show();
        Click(dialog, CRepairPager::kV2Button);
        // The timer runs behind the open dialog.
        TimerTick();
        Click(dialog, CRepairPager::kExitButton);
    };
    QTest::mouseClick(FindControl<QPushButton>(&page, CInputCapcode::kRepairButton),
                      Qt::LeftButton);
    ASSERT_EQ(dialogs.repairsRun, 1);

    PagerImage expected = pagerBefore;
    const auto copyRegion = [&](std::size_t start, std::size_t end) {
        std::copy(file.begin() + start, file.begin() + end, expected.begin() + start);
    };
    copyRegion(0, 256);   // settings, without the serial number (not unlocked)
    copyRegion(288, 320); // increment steps
    copyRegion(1024, 5120);
    std::copy(kIdentityV2.begin(), kIdentityV2.end(), expected.begin());
    EXPECT_EQ(cradle->Memory(), expected);

    EXPECT_EQ(host.Calls(),
              (std::vector<std::string>{"status:WRITE OK !", "status:WRITE OK !",
                                        "status:WRITE OK !", "status:WRITE OK !",
                                        "status:WRITE OK !", "status:WRITE OK !", "increment"}))
        << "no identity question, no gather";
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(context.state.repairWriteRequest.load(), kRepairIdle);
    EXPECT_EQ(capcode->text(), QStringLiteral("108"));
}

TEST_F(RepairWriteTest, ARepairClickedDuringTheWriteIsRefusedAndTheWriteSendsTheFirst) {
    std::vector<std::uint8_t> file = FileBytes(kImageSize, 9);
    WriteDefaultSav(file);
    dialogs.repair = [this](QWidget* owner) {
        CRepairPager dialog(environment, owner);
        dialog.show();
        Click(dialog, CRepairPager::kV1Button);
        host.onFirstStep = [&] { Click(dialog, CRepairPager::kV2Button); };
        TimerTick();
    };
    QTest::mouseClick(FindControl<QPushButton>(&page, CInputCapcode::kRepairButton),
                      Qt::LeftButton);

    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{kRepairBusy});
    EXPECT_EQ(context.state.repairWriteRequest.load(), kRepairIdle)
        << "no repair left waiting to take over the next Write";
    const PagerImage memory = cradle->Memory();
    EXPECT_TRUE(std::equal(kIdentityV1.begin(), kIdentityV1.end(), memory.begin()));
    EXPECT_TRUE(std::equal(file.begin() + 4, file.begin() + 256, memory.begin() + 4));
    EXPECT_TRUE(std::equal(kIdentityV1.begin(), kIdentityV1.end(), context.image.begin()))
        << "the image still holds the repair that was written";
}

} // namespace
