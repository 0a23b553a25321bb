#include "MainWindowRig.h"

#include "image/ImageCodec.h"
#include "link/sim/FactoryPagers.h"
#include "ui/controls/ControlId.h"
#include "ui/pages/GeneralPage.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

QLineEdit& SerialEdit(CTarnwick4730NewDlg& window) {
    return *FindControl<QLineEdit>(&window.pages().page(PageKind::General),
                                   CInputCapcode::kSerialEdit);
}

QString Chosen(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Starts with the factory V2 pager as "default.sav".
CTarnwick4730NewDlg& StartWithStartupImage(MainWindowRig& rig) {
    const PagerImage file = MakeFactoryPager(FactoryPager::V2);
    WriteFileBytes(rig.Path("default.sav"), file.data(), file.size());
    return rig.Start();
}

TEST(SaveAndLoad, ASavedFileLoadsBackIntoThePages) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = StartWithStartupImage(rig);
    const QString serial = SerialEdit(window).text();
    SerialEdit(window).setText(QStringLiteral("SAVED-42"));
    rig.files.answers = {Chosen(rig.Path("copy.sav"))};
    window.saveClicked();

    std::size_t size = 0;
    const PagerImage saved = ReadFileBytes(rig.Path("copy.sav"), &size);
    EXPECT_EQ(size, kImageSize);
    EXPECT_EQ(saved, rig.context.image);
    EXPECT_EQ(ReadFileBytes(rig.Path("TempData.sav")), saved);
    const PagerSettings afterSave = rig.context.settings;

    SerialEdit(window).setText(QStringLiteral("EDITED"));
    rig.context.settings.capcodes[7] = 777;
    rig.files.answers = {Chosen(rig.Path("copy.sav"))};
    window.loadClicked();

    EXPECT_EQ(rig.context.image, saved);
    EXPECT_EQ(rig.context.settings, afterSave);
    EXPECT_EQ(SerialEdit(window).text().trimmed(), "SAVED-42");
    EXPECT_NE(serial.trimmed(), "SAVED-42");
    EXPECT_TRUE(rig.messages.shown.empty());

    const std::string workingDirectory = rig.folder.path().toStdString();
    ASSERT_EQ(rig.files.requests.size(), 2u);
    EXPECT_EQ(rig.files.requests[0],
              (FileDialogRequest{FileDialogRequest::Purpose::Save, "Save Eeprom Data Files(*.sav)",
                                 "sav", "*.sav", QString::fromStdString(workingDirectory)}));
    EXPECT_EQ(rig.files.requests[1],
              (FileDialogRequest{FileDialogRequest::Purpose::Open, "Open Eeprom data Files(*.sav)",
                                 "sav", "*.sav", QString::fromStdString(workingDirectory)}));
}

TEST(SaveAndLoad, LoadingNeitherChecksTheIdentityNorChangesTheMode) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    const PagerImage v1 = MakeFactoryPager(FactoryPager::V1);
    WriteFileBytes(rig.Path("v1.sav"), v1.data(), v1.size());
    rig.files.answers = {Chosen(rig.Path("v1.sav"))};
    window.loadClicked();

    EXPECT_EQ(rig.context.image, v1);
    EXPECT_EQ(rig.context.state.programmingMode.load(), Generation::V2);
    EXPECT_EQ(window.windowTitle(), "4730 & 6920 Pager Programmer v3.05 (V2 mode)");
    PagerSettings decoded;
    DecodeImage(v1, Generation::V2, decoded);
    EXPECT_EQ(rig.context.settings, decoded);
}

TEST(SaveAndLoad, CancellingEitherDialogDoesNothing) {
    for (const bool saving : {true, false}) {
        // Cancelled, or the proposed pattern handed back unchanged: bare, or in the folder the
        // dialog shows, as the real dialog returns it.
        const std::function<QString(const MainWindowRig&)> answers[] = {
            [](const MainWindowRig&) { return QString(); },
            [](const MainWindowRig&) { return QStringLiteral("*.sav"); },
            [](const MainWindowRig& rig) { return Chosen(rig.Path("*.sav")); },
        };
        for (const auto& answer : answers) {
            SCOPED_TRACE(saving);
            MainWindowRig rig;
            CTarnwick4730NewDlg& window = rig.Start();
            SerialEdit(window).setText(QStringLiteral("UNSAVED"));
            rig.files.answers = {answer(rig)};
            saving ? window.saveClicked() : window.loadClicked();

            EXPECT_EQ(rig.files.requests.size(), 1u);
            EXPECT_EQ(rig.context.image, PagerImage{});
            EXPECT_EQ(rig.context.settings, PagerSettings{});
            EXPECT_FALSE(std::filesystem::exists(rig.Path("TempData.sav")));
            EXPECT_FALSE(std::filesystem::exists(rig.Path("*.sav")));
            EXPECT_TRUE(rig.messages.shown.empty());
        }
    }
}

// Limits the size of files this process may write, so a save fails part-way even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST(SaveAndLoad, AFailedSaveReportsWhyAndKeepsTheOldFile) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = StartWithStartupImage(rig);
    PagerImage old{};
    old.fill(0x5A);
    WriteFileBytes(rig.Path("old.sav"), old.data(), old.size());

    rig.files.answers = {Chosen(rig.Path("missing-folder") / "new.sav")};
    window.saveClicked();
    {
        FileSizeLimit limit(1000);
        rig.files.answers = {Chosen(rig.Path("old.sav"))};
        window.saveClicked();
    }

    ASSERT_EQ(rig.messages.shown.size(), 2u);
    for (const auto& shown : rig.messages.shown) {
        EXPECT_EQ(shown.owner, &window);
        EXPECT_EQ(shown.request.caption, "Pager Programmer");
        EXPECT_EQ(shown.request.icon, MessageIcon::Stop);
        EXPECT_EQ(shown.request.buttons, MessageButtons::Ok);
    }
    EXPECT_NE(rig.messages.shown[0].request.text.find("new.sav"), std::string::npos);
    EXPECT_NE(rig.messages.shown[1].request.text.find("old.sav"), std::string::npos);
    std::size_t size = 0;
    EXPECT_EQ(ReadFileBytes(rig.Path("old.sav"), &size), old);
    EXPECT_EQ(size, kImageSize);
    EXPECT_FALSE(std::filesystem::exists(rig.Path("missing-folder")));
}

TEST(SaveAndLoad, AFileThatCannotBeReadChangesNothing) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = StartWithStartupImage(rig);
    const PagerImage image = rig.context.image;
    const PagerSettings settings = rig.context.settings;
    SerialEdit(window).setText(QStringLiteral("KEEP ME"));

    rig.files.answers = {Chosen(rig.Path("nowhere.sav"))};
    window.loadClicked();

    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].request.caption, "Pager Programmer");
    EXPECT_EQ(rig.messages.shown[0].request.icon, MessageIcon::Stop);
    EXPECT_NE(rig.messages.shown[0].request.text.find("nowhere.sav"), std::string::npos);
    EXPECT_EQ(rig.context.image, image);
    EXPECT_EQ(rig.context.settings, settings);
    EXPECT_EQ(SerialEdit(window).text(), "KEEP ME");
}

} // namespace
