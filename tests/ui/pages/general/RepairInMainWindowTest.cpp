#include "GeneralPageTestSupport.h"

#include "link/sim/InProcessCradleBackend.h"
#include "ui/controls/HoverButton.h"
#include "ui/main/FileChooserService.h"
#include "ui/main/MainWindow.h"
#include "ui/pages/RepairPagerDialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <vector>

namespace {

class NoFiles final : public FileChooserService {
public:
    std::optional<QString> Choose(QWidget*, const FileDialogRequest&) override {
        return std::nullopt;
    }
};

// Runs the event loop until the condition holds, so the window's timer and the worker's calls
// are served meanwhile.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    check.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!condition()) {
        loop.exec();
    }
    return condition();
}

// The whole program in one process: the main window, its General page with the real modal
// repair dialog, and a simulated cradle holding a V1 pager.
class RepairInMainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder.path().toStdString());
        backend->AddCradle(cradle);
        context.usb = MakeLayerOver(backend);
        window = std::make_unique<CTarnwick4730NewDlg>(
            MainWindowServices{context, messages, files, [](std::chrono::milliseconds) {}});
        window->show();
        ASSERT_TRUE(
            WaitUntil([&] { return window->button(CTarnwick4730NewDlg::kWriteId).isEnabled(); }));
    }
    void TearDown() override {
        window.reset();
        std::filesystem::current_path(previous);
    }

    CInputCapcode& General() const { return window->pages().general(); }

    QTemporaryDir folder;
    std::filesystem::path previous;
    const PagerImage pagerBefore = MakeFactoryPager(FactoryPager::V1);
    std::shared_ptr<CradleSimulator> cradle = std::make_shared<CradleSimulator>(pagerBefore);
    std::shared_ptr<InProcessCradleBackend> backend = std::make_shared<InProcessCradleBackend>();
    ProgrammerContext context;
    RecordingMessageBoxService messages;
    NoFiles files;
    std::unique_ptr<CTarnwick4730NewDlg> window;
};

TEST_F(RepairInMainWindowTest, RepairWritesDefaultSavWithTheChosenIdentityBehindTheDialog) {
    // default.sav appears after start-up, so the pages keep other settings than the repair.
    std::vector<std::uint8_t> file(kImageSize);
    for (std::size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<std::uint8_t>(0x5A ^ (i * 13));
    }
    std::copy_n("2011", 4, file.begin());
    std::ofstream("default.sav", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));

    auto* capcode = FindControl<QLineEdit>(&General(), CInputCapcode::kCapcodeEdits[0]);
    capcode->setText(QStringLiteral("100"));
    FindControl<QCheckBox>(&General(), CInputCapcode::kEnableBoxes[0])->setChecked(true);
    FindControl<QComboBox>(&General(), CInputCapcode::kStepLists[0])->setCurrentIndex(1);

    bool repaired = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CRepairPager*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::mouseClick(FindControl<QPushButton>(dialog, CRepairPager::kV2Button),
                          Qt::LeftButton);
        // The window's timer starts the write while the dialog stays open.
        repaired = WaitUntil([&] {
            return context.state.repairWriteRequest.load() == kRepairIdle &&
                   !window->isTransferRunning();
        });
        QTest::mouseClick(FindControl<QPushButton>(dialog, CRepairPager::kExitButton),
                          Qt::LeftButton);
    });
    QTest::mouseClick(FindControl<QPushButton>(&General(), CInputCapcode::kRepairButton),
                      Qt::LeftButton);
    ASSERT_TRUE(repaired);

    PagerImage expected = pagerBefore;
    for (const auto& [start, end] : {std::pair{0, 256}, {288, 320}, {1024, 5120}}) {
        std::copy(file.begin() + start, file.begin() + end, expected.begin() + start);
    }
    std::copy(kIdentityV2.begin(), kIdentityV2.end(), expected.begin());
    EXPECT_EQ(cradle->Memory(), expected) << "the file as it is, serial block left alone";
    EXPECT_TRUE(messages.shown().empty()) << "no identity question, no capcode check";
    EXPECT_EQ(capcode->text(), QStringLiteral("108")) << "the increment ran after the write";
    EXPECT_EQ(context.state.programmingMode.load(), kModeV2);
}

TEST_F(RepairInMainWindowTest, ARepairClickedWhileTheWriteRunsIsRefused) {
    std::vector<std::uint8_t> file(kImageSize, 0x33);
    std::ofstream("default.sav", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));

    bool finished = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CRepairPager*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::mouseClick(FindControl<QPushButton>(dialog, CRepairPager::kV1Button),
                          Qt::LeftButton);
        // Every block the worker writes passes through this thread's event loop, so the
        // second click lands while the write runs.
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            if (window->isTransferRunning()) {
                clicker.stop();
                QTest::mouseClick(FindControl<QPushButton>(dialog, CRepairPager::kV2Button),
                                  Qt::LeftButton);
            }
        });
        clicker.start(0);
        finished = WaitUntil([&] { return !clicker.isActive() && !window->isTransferRunning(); });
        QTest::mouseClick(FindControl<QPushButton>(dialog, CRepairPager::kExitButton),
                          Qt::LeftButton);
    });
    QTest::mouseClick(FindControl<QPushButton>(&General(), CInputCapcode::kRepairButton),
                      Qt::LeftButton);
    ASSERT_TRUE(finished);

    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{RepairBusy()});
    EXPECT_EQ(context.state.repairWriteRequest.load(), kRepairIdle)
        << "no repair left waiting to take over the next Write";
    const PagerImage memory = cradle->Memory();
    EXPECT_TRUE(std::equal(kIdentityV1.begin(), kIdentityV1.end(), memory.begin()));
    EXPECT_TRUE(std::equal(file.begin() + 4, file.begin() + 256, memory.begin() + 4));
    EXPECT_TRUE(std::equal(kIdentityV1.begin(), kIdentityV1.end(), context.image.begin()))
        << "the image still holds the repair that was written";
}

} // namespace
