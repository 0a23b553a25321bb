#pragma once

#include "programming/ProgrammerContext.h"
#include "programming/ProgrammingHost.h"
#include "programming/Sleeper.h"
#include "programming/TransferWorkers.h"
#include "ui/main/SettingsPageSet.h"
#include "ui/main/UiThreadHost.h"

#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>

class CButtonEx;
class CMyTab;
class FileChooserService;
class MessageBoxService;
class QLineEdit;
class QProgressBar;

// What the main window works with. The window keeps references; they must outlive it.
struct MainWindowServices {
    ProgrammerContext& context;
    MessageBoxService& messages;
    FileChooserService& files;
    // Waits between the blinks of the status box.
    Sleeper sleeper = RealSleeper();
};

// The main window: five buttons, the settings tabs, the status box and the progress bar, and a
// 20 ms timer that starts requested repair writes, unlocks the tabs and reconnects the cradle.
// It is the host the read and write workers report to; every host operation below runs on the
// user-interface thread (the workers reach them through a UiThreadHost).
//
// Closing while a read or write runs is deferred until the worker has ended, so a transfer is
// never cut off; Save and Load are disabled (and refused) while a worker runs.
class CTarnwick4730NewDlg : public QDialog, public ProgrammingHost {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 102;
    static constexpr int kTabControlId = 1000;
    static constexpr int kReadId = 1051;
    static constexpr int kWriteId = 1026;
    static constexpr int kSaveId = 1027;
    static constexpr int kLoadId = 1052;
    static constexpr int kExitId = 1;
    static constexpr int kStatusId = 1030;
    static constexpr int kProgressId = 1059;

    static constexpr int kTimerPeriodMs = 20;
    // The background picture stops this far above the bottom edge of the client area.
    static constexpr int kBackgroundBottomGap = 30;

    // Layout in dialog units, converted with the window font.
    static constexpr QSize kDialogSize{355, 369};
    static constexpr QRect kTabControlRect{6, 61, 343, 266};
    static constexpr QRect kStatusRect{6, 354, 82, 14};
    static constexpr QRect kProgressRect{89, 354, 259, 14};
    struct ButtonPlacement {
        int id;
        const char* caption;
        QRect rect;
    };
    static constexpr std::array<ButtonPlacement, 5> kButtons{{
        {kReadId, "Read", {7, 328, 57, 22}},
        {kWriteId, "Write", {78, 328, 57, 22}},
        {kSaveId, "Save", {149, 328, 57, 22}},
        {kLoadId, "Load", {220, 328, 57, 22}},
        {kExitId, "Exit", {291, 328, 57, 22}},
    }};

    static constexpr const char* kTitleV1 = "4730 & 6920 Pager Programmer v3.05 (V1 mode)";
    static constexpr const char* kTitleV2 = "4730 & 6920 Pager Programmer v3.05 (V2 mode)";
    static constexpr const char* kFileErrorCaption = "Pager Programmer";
    static constexpr const char* kAccessProblemCaption = "V2 Pager Programmer";
    static constexpr const char* kAboutItemText = "About...";

    // Runs the whole initialisation: opens the cradle, loads "default.sav" from the current
    // directory when there is one, builds the pages and starts the timer.
    explicit CTarnwick4730NewDlg(const MainWindowServices& services, QWidget* parent = nullptr);
    // Stops new workers, waits for a running one (still serving its calls), deletes the pages
    // and closes and deletes the cradle channel. Nothing is saved.
    ~CTarnwick4730NewDlg() override;

    // The host operations, user-interface thread only.
    void EnableTransferButtons(bool enabled) override;
    MessageAnswer ShowMessage(const MessageRequest& request) override;
    void SetStatusText(const std::string& text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressStep(int step) override;
    void SetProgressPosition(int position) override;
    void StepProgress() override;
    void DecodeImage() override;
    void RebuildTabs() override;
    void ShowSettings() override;
    void GatherPages() override;
    void StorePages() override;
    void LoadGeneralPage() override;
    void IncrementCapcodes() override;

    // True from a started read or write until its thread has made its last call.
    bool isTransferRunning() const;
    bool isClosePending() const { return closeResult_.has_value(); }

    CMyTab& tabControl() const { return *tabs_; }
    const SettingsPageSet& pages() const { return *pages_; }
    CButtonEx& button(int id) const;
    QLineEdit& statusBox() const { return *status_; }
    QProgressBar& progressBar() const { return *progress_; }
    // Where the background picture is painted, in client coordinates.
    QRect backgroundRect() const;

    // Commands.
    void readClicked();
    void writeClicked();
    void saveClicked();
    void loadClicked();
    void showAboutBox();

    // Closing waits for a running worker; the dialog ends on the first tick after it.
    void done(int result) override;

protected:
    // Enter presses a focused button or, on the General page, its "OK"; anywhere else in the
    // window it does nothing. Escape closes the window as before.
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    void setUpButtons();
    void openCradle();
    void timerTick();
    void reconnectCradle();
    void reportAccessProblem();
    void transferStarted(bool started);
    void finishAfterWorker();
    void destroyHandling();
    void showFileError(const std::string& reason);

    ProgrammerContext& context_;
    MessageBoxService& messages_;
    FileChooserService& files_;

    std::array<CButtonEx*, 5> buttons_{};
    CMyTab* tabs_ = nullptr;
    QLineEdit* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPixmap background_;
    QIcon icon_;
    int progressStep_ = 10;

    std::unique_ptr<SettingsPageSet> pages_;
    UiThreadHost workerHost_;
    std::unique_ptr<TransferWorkers> workers_;
    QTimer timer_;
    // Save and Load were disabled for the running worker.
    bool fileButtonsHeld_ = false;
    // The result the dialog ends with once the worker has ended.
    std::optional<int> closeResult_;
};
