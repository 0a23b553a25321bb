#pragma once

#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Opens the General page's two service dialogs. The page runs the real dialogs modally; tests
// give it one that answers at once.
class ServiceDialogRunner {
public:
    virtual ~ServiceDialogRunner() = default;
    // The code typed in the serial-number dialog when it was closed with "OK"; nothing when it
    // was left with "EXIT".
    virtual std::optional<QString> askSerialCode(QWidget* owner) = 0;
    // Runs the repair dialog until the user closes it.
    virtual void runRepair(QWidget* owner) = 0;
};

// The " General " tab: the eight capcodes with their enable, private and auto-increment
// settings, the startup text and the serial number, and the access-code gate, serial-number
// unlock and repair functions. Enter keeps its usual meaning here: on any control of the page
// that does not use it itself, it presses "OK", the page's default button. Enter elsewhere in
// the window does not reach it.
class CInputCapcode : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 130;

    // Column headers.
    static constexpr int kNumberHeader = 1053;
    static constexpr int kPrivateHeader = 1060;
    static constexpr int kEnableHeader = 1054;
    static constexpr int kCapcodeHeader = 1055;
    static constexpr int kStepHeader = 1056;
    static constexpr int kFrameHeader = 1057;

    // The eight capcode rows, in row order.
    static constexpr std::array<int, PagerSettings::kCapcodes> kPrivateBoxes{
        1031, 1032, 1034, 1035, 1036, 1037, 1038, 1039};
    static constexpr std::array<int, PagerSettings::kCapcodes> kEnableBoxes{1001, 1004, 1007, 1010,
                                                                            1013, 1016, 1019, 1022};
    static constexpr std::array<int, PagerSettings::kCapcodes> kCapcodeEdits{
        1002, 1005, 1008, 1011, 1014, 1017, 1020, 1023};
    static constexpr std::array<int, PagerSettings::kCapcodes> kStepLists{1003, 1006, 1009, 1012,
                                                                          1015, 1018, 1021, 1024};
    static constexpr std::array<int, PagerSettings::kCapcodes> kFrameStatics =
        ConsecutiveIds<PagerSettings::kCapcodes>(1062);
    // Rows 1-4 are always private: their boxes show the value but cannot be changed.
    static constexpr int kFixedPrivateRows = 4;

    // "Capcode management".
    static constexpr int kIncrementButton = 1025;
    static constexpr int kStartupTextEdit = 1026;
    static constexpr int kPasswordEdit = 1027;
    static constexpr int kOkButton = 1028;
    static constexpr int kRepairButton = 1094;
    static constexpr int kSerialLabel = 1061;
    static constexpr int kSerialEdit = 1029;
    static constexpr int kSerialIncrementBox = 1033;
    static constexpr int kChangeSerialButton = 1030;

    static constexpr int kCapcodeDigits = 7;

    explicit CInputCapcode(const PageEnvironment& environment, QWidget* parent = nullptr);
    ~CInputCapcode() override;

    // Advances each enabled row's capcode by its auto-increment step, to at least 8.
    void incrementCapcodes();
    // Shows the "Private" column once the tabs are unlocked.
    void showPrivateColumn();

    void loadFromSettings() override;
    void storeToSettings() override;

    // Replaces how the service dialogs are run.
    void setServiceDialogRunner(std::unique_ptr<ServiceDialogRunner> runner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct CapcodeRow {
        QCheckBox* privateBox;
        QCheckBox* enable;
        QLineEdit* capcode;
        QComboBox* step;
        QLabel* frame;
    };

    QWidget* buildCapcodeGrid();
    QWidget* buildManagementGroup();

    void checkCapcodeChange(std::size_t row);
    void checkCapcodeLeave(std::size_t row);
    void checkAccessCode();
    void unlockSerialNumber();
    void openRepairDialog();
    void enableSerialControls();
    void showCapcodeRangeMessage(MessageIcon icon);

    SettingsBinding binding_;
    std::unique_ptr<ServiceDialogRunner> dialogs_;
    std::vector<CapcodeRow> rows_;
    // The leave check's box of a row is open.
    std::array<bool, PagerSettings::kCapcodes> leaveBoxOpen_{};
    QLabel* privateHeader_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* ok_ = nullptr;
    QLabel* serialLabel_ = nullptr;
    QLineEdit* serial_ = nullptr;
    QCheckBox* serialIncrement_ = nullptr;
};
