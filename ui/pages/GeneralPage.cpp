#include "ui/pages/GeneralPage.h"

#include "programming/CapcodeIncrement.h"
#include "programming/ProgrammerContext.h"
#include "ui/pages/ChangeSerialPasswordDialog.h"
#include "ui/pages/RepairPagerDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <mutex>

namespace {

constexpr const char* kCaption = "V2 Pager Programmer";
constexpr const char* kCapcodeRangeText = "Capcode must be between 8-2097151 !";
constexpr const char* kPasswordErrorText = "Password error !";
const QLatin1String kAdvancedAccessCode("techmod417");
const QLatin1String kSerialAccessCode("techmod952");

// A capcode's frame is its three low bits.
constexpr std::uint32_t kFrames = 8;

QStringList IncrementStepItems() {
    QStringList items;
    for (const AutoIncrementStep& step : kAutoIncrementSteps) {
        items << QLatin1String(step.item);
    }
    return items;
}

const TextBinding kTexts[] = {
    {CInputCapcode::kStartupTextEdit, &PagerSettings::startupText},
    {CInputCapcode::kSerialEdit, &PagerSettings::serialNumber},
};

// Grid columns of the capcode rows.
enum Column { NumberColumn, PrivateColumn, EnableColumn, CapcodeColumn, StepColumn, FrameColumn };

struct ColumnHeader {
    Column column;
    int id;
    const char* text;
};
constexpr ColumnHeader kColumnHeaders[] = {
    {NumberColumn, CInputCapcode::kNumberHeader, "Number"},
    {PrivateColumn, CInputCapcode::kPrivateHeader, "Private"},
    {EnableColumn, CInputCapcode::kEnableHeader, "Enable"},
    {CapcodeColumn, CInputCapcode::kCapcodeHeader, "Capcode"},
    {StepColumn, CInputCapcode::kStepHeader, "Auto Increment"},
    {FrameColumn, CInputCapcode::kFrameHeader, "Frame"},
};

// A capcode edit takes digits only, at most seven. The limit is the validator's alone: a
// paste that would overflow it is refused whole instead of being cut to another number, as a
// length limit on the edit would do.
QLineEdit* CreateCapcodeEdit(QWidget* parent, int id) {
    auto* edit = new QLineEdit(parent);
    SetControlId(edit, id);
    edit->setValidator(new DigitsValidator(CInputCapcode::kCapcodeDigits, edit));
    return edit;
}

QPushButton* CreateButton(QWidget* parent, int id, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    SetControlId(button, id);
    button->setAutoDefault(false);
    return button;
}

// Keeps a control's place in the layout while it is hidden, so that showing the "Private"
// column does not move the other columns.
void KeepPlaceWhenHidden(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    widget->setVisible(false);
}

// The real dialogs, run modally.
class ModalServiceDialogs final : public ServiceDialogRunner {
public:
    explicit ModalServiceDialogs(const PageEnvironment& environment) : environment_(environment) {}

    std::optional<QString> askSerialCode(QWidget* owner) override {
        CChangeSNPassword dialog(owner);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.code();
    }

    void runRepair(QWidget* owner) override {
        CRepairPager dialog(environment_, owner);
        dialog.exec();
    }

private:
    PageEnvironment environment_;
};

// The technician leaves an edit by moving to another control or by switching to another window.
// Focus that a popup (the edit's menu) or one of this program's own boxes takes for a moment
// comes back to the edit when it closes: that is not leaving it. The main window itself runs
// modally, so only a modal window other than the edit's own counts as a box.
bool IsLeavingTheEdit(const QWidget& edit, const QFocusEvent& event) {
    switch (event.reason()) {
    case Qt::PopupFocusReason:
        return false;
    case Qt::ActiveWindowFocusReason: {
        const QWidget* modal = QApplication::activeModalWidget();
        return modal == nullptr || modal == edit.window();
    }
    default:
        return true;
    }
}

} // namespace

CInputCapcode::CInputCapcode(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent),
      dialogs_(std::make_unique<ModalServiceDialogs>(environment)) {
    letEnterKeyThrough();

    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(6, 6, 6, 6);
    columns->setSpacing(8);
    columns->addWidget(buildCapcodeGrid(), 0, Qt::AlignTop);
    columns->addWidget(buildManagementGroup(), 1, Qt::AlignTop);

    for (std::size_t row = 0; row < rows_.size(); ++row) {
        binding_.bind(rows_[row].privateBox, ByteField(&PagerSettings::capcodePrivate, row));
        binding_.bind(rows_[row].enable, ByteField(&PagerSettings::capcodeEnabled, row));
        binding_.bind(rows_[row].capcode, NumberField(&PagerSettings::capcodes, row));
        binding_.bind(rows_[row].step, ByteField(&PagerSettings::autoIncrementStep, row));
    }
    binding_.bind(this, kTexts);

    // Rows 1-4 start private; the settings loaded next replace these marks.
    for (int row = 0; row < kFixedPrivateRows; ++row) {
        rows_[static_cast<std::size_t>(row)].privateBox->setChecked(true);
    }
    if (programState().serialWriteEnabled.load()) {
        enableSerialControls();
    }
    CInputCapcode::loadFromSettings(); // during construction only this class's own version can run
}

CInputCapcode::~CInputCapcode() = default;

QWidget* CInputCapcode::buildCapcodeGrid() {
    auto* grid = new QWidget(this);
    grid->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(3);
    layout->setVerticalSpacing(8);
    // The wrapped "Auto Increment" header needs its longer word's width.
    layout->setColumnMinimumWidth(
        StepColumn, grid->fontMetrics().horizontalAdvance(QStringLiteral("Increment")) + 6);

    for (const ColumnHeader& header : kColumnHeaders) {
        QLabel* label = CreateLabel(grid, QLatin1String(header.text), nullptr, header.id);
        // "Auto Increment" takes two lines rather than widening its narrow column.
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        layout->addWidget(label, 0, header.column);
        if (header.column == PrivateColumn) {
            privateHeader_ = label;
            KeepPlaceWhenHidden(label);
        }
    }

    const QStringList stepItems = IncrementStepItems();
    for (std::size_t index = 0; index < PagerSettings::kCapcodes; ++index) {
        const int row = static_cast<int>(index) + 1;
        const QString rowText = QString::number(row);
        CapcodeRow controls{
            CreateCheckBox(grid, kPrivateBoxes[index], QString()),
            CreateCheckBox(grid, kEnableBoxes[index], QString()),
            CreateCapcodeEdit(grid, kCapcodeEdits[index]),
            CreateComboBox(grid, kStepLists[index], stepItems),
            CreateLabel(grid, QStringLiteral("F"), nullptr, kFrameStatics[index]),
        };
        controls.privateBox->setAccessibleName(QStringLiteral("Private, capcode %1").arg(row));
        controls.enable->setAccessibleName(QStringLiteral("Enable, capcode %1").arg(row));
        controls.capcode->setAccessibleName(QStringLiteral("Capcode %1").arg(row));
        controls.step->setAccessibleDescription(
            QStringLiteral("Auto Increment, capcode %1").arg(row));
        controls.frame->setAccessibleDescription(QStringLiteral("Frame, capcode %1").arg(row));
        // Room for seven digits and no more, so the other columns fit beside them.
        controls.capcode->setFixedWidth(
            controls.capcode->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 10);
        controls.frame->setAlignment(Qt::AlignCenter);
        KeepPlaceWhenHidden(controls.privateBox);
        controls.privateBox->setEnabled(row > kFixedPrivateRows);

        layout->addWidget(CreateLabel(grid, rowText), row, NumberColumn, Qt::AlignCenter);
        layout->addWidget(controls.privateBox, row, PrivateColumn, Qt::AlignCenter);
        layout->addWidget(controls.enable, row, EnableColumn, Qt::AlignCenter);
        layout->addWidget(controls.capcode, row, CapcodeColumn);
        layout->addWidget(controls.step, row, StepColumn, Qt::AlignCenter);
        layout->addWidget(controls.frame, row, FrameColumn, Qt::AlignCenter);

        connect(controls.capcode, &QLineEdit::textChanged, this,
                [this, index] { checkCapcodeChange(index); });
        controls.capcode->installEventFilter(this);
        rows_.push_back(controls);
    }
    return grid;
}

QWidget* CInputCapcode::buildManagementGroup() {
    auto* group = new QGroupBox(QStringLiteral("Capcode management"), this);

    QPushButton* increment =
        CreateButton(group, kIncrementButton, QStringLiteral("Manually increment"));
    QLineEdit* startupText = CreateLatin1Edit(group, kStartupTextEdit,
                                              static_cast<int>(PagerSettings::kStartupTextWidth));
    QLabel* startupLabel = CreateLabel(group, QStringLiteral("Startup text"), startupText);

    password_ = new QLineEdit(group);
    SetControlId(password_, kPasswordEdit);
    password_->setEchoMode(QLineEdit::Password);
    QLabel* passwordLabel =
        CreateLabel(group, QStringLiteral("Advanced setting password"), password_);
    passwordLabel->setWordWrap(true);
    QPushButton* ok = CreateButton(group, kOkButton, QStringLiteral("OK"));
    // Drawn as the default button; keyPressEvent presses it.
    ok->setDefault(true);
    ok_ = ok;
    QPushButton* repair = CreateButton(group, kRepairButton, QStringLiteral("Repair Pager"));

    serial_ =
        CreateLatin1Edit(group, kSerialEdit, static_cast<int>(PagerSettings::kSerialNumberWidth));
    serialLabel_ = CreateLabel(group, QStringLiteral("S/N"), serial_, kSerialLabel);
    serialIncrement_ = CreateCheckBox(group, kSerialIncrementBox, QStringLiteral("INC"));
    QPushButton* changeSerial =
        CreateButton(group, kChangeSerialButton, QStringLiteral("Change S/N"));
    for (QWidget* control : {static_cast<QWidget*>(serialLabel_), static_cast<QWidget*>(serial_),
                             static_cast<QWidget*>(serialIncrement_)}) {
        control->setEnabled(false);
    }

    // One control or one short line of controls per row, so the group stays narrow enough
    // for the capcode rows beside it.
    auto* passwordLine = new QHBoxLayout;
    passwordLine->addWidget(password_, 1);
    passwordLine->addWidget(ok);
    auto* serialLine = new QHBoxLayout;
    serialLine->addWidget(serialLabel_);
    serialLine->addWidget(serial_, 1);
    auto* serialButtons = new QHBoxLayout;
    serialButtons->addWidget(serialIncrement_);
    serialButtons->addStretch(1);
    serialButtons->addWidget(changeSerial);

    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(increment);
    layout->addSpacing(6);
    layout->addWidget(startupLabel);
    layout->addWidget(startupText);
    layout->addSpacing(6);
    layout->addWidget(passwordLabel);
    layout->addLayout(passwordLine);
    layout->addSpacing(6);
    layout->addWidget(repair);
    layout->addSpacing(6);
    layout->addLayout(serialLine);
    layout->addLayout(serialButtons);

    connect(increment, &QPushButton::clicked, this, &CInputCapcode::incrementCapcodes);
    connect(ok, &QPushButton::clicked, this, &CInputCapcode::checkAccessCode);
    connect(repair, &QPushButton::clicked, this, &CInputCapcode::openRepairDialog);
    connect(changeSerial, &QPushButton::clicked, this, &CInputCapcode::unlockSerialNumber);
    return group;
}

void CInputCapcode::setServiceDialogRunner(std::unique_ptr<ServiceDialogRunner> runner) {
    dialogs_ = std::move(runner);
}

void CInputCapcode::loadFromSettings() {
    // Setting each capcode text runs that row's change check, which shows its frame.
    binding_.load(settings());
}

void CInputCapcode::storeToSettings() {
    binding_.store(settings());
    programState().serialAutoIncrement.store(serialIncrement_->isChecked());
}

void CInputCapcode::incrementCapcodes() {
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        const CapcodeRow& controls = rows_[row];
        if (!controls.enable->isChecked()) {
            continue;
        }
        const std::uint8_t index = UsableIncrementStep(ListIndexOf(controls.step));
        {
            // The button may be pressed while a worker runs and reads the settings.
            std::lock_guard lock(context().dataMutex);
            settings().autoIncrementStep[row] = index;
        }
        const std::uint64_t capcode = IncrementCapcode(NumberOf(controls.capcode), index).capcode;
        // The row's change check refuses a result beyond the largest capcode.
        controls.capcode->setText(QString::number(capcode));
    }
}

void CInputCapcode::showPrivateColumn() {
    privateHeader_->setVisible(true);
    for (const CapcodeRow& row : rows_) {
        row.privateBox->setVisible(true);
    }
}

bool CInputCapcode::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        for (std::size_t row = 0; row < rows_.size(); ++row) {
            if (watched == rows_[row].capcode &&
                IsLeavingTheEdit(*rows_[row].capcode, *static_cast<QFocusEvent*>(event))) {
                checkCapcodeLeave(row);
            }
        }
    }
    return SettingsPage::eventFilter(watched, event);
}

void CInputCapcode::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain) {
        // The page presses its own default button, so that the window's default-button
        // handling, which would find it from anywhere in the window, is not needed.
        if (ok_->isEnabled()) {
            ok_->click();
        }
        event->accept();
        return;
    }
    SettingsPage::keyPressEvent(event);
}

void CInputCapcode::checkCapcodeChange(std::size_t row) {
    const std::uint32_t capcode = NumberOf(rows_[row].capcode);
    if (capcode > PagerSettings::kCapcodeMax) {
        showCapcodeRangeMessage(MessageIcon::Stop);
        // Runs this check again, which shows the new frame.
        rows_[row].capcode->setText(QString::number(kLowestCapcode));
        return;
    }
    rows_[row].frame->setText(QString::number(capcode % kFrames));
}

void CInputCapcode::checkCapcodeLeave(std::size_t row) {
    const std::uint32_t capcode = NumberOf(rows_[row].capcode);
    if (capcode == 0) {
        return;
    }
    if (capcode < kLowestCapcode) {
        // The edit may lose the focus again while its box is open (the window deactivated and
        // activated around it); the one box is enough.
        if (leaveBoxOpen_[row]) {
            return;
        }
        leaveBoxOpen_[row] = true;
        showCapcodeRangeMessage(MessageIcon::None);
        leaveBoxOpen_[row] = false;
        rows_[row].capcode->setText(QString::number(kLowestCapcode));
        return;
    }
    rows_[row].frame->setText(QString::number(capcode % kFrames));
}

void CInputCapcode::showCapcodeRangeMessage(MessageIcon icon) {
    showMessage({kCapcodeRangeText, kCaption, icon, MessageButtons::Ok});
}

void CInputCapcode::checkAccessCode() {
    if (password_->text() != kAdvancedAccessCode) {
        showMessage({kPasswordErrorText, kCaption, MessageIcon::Stop, MessageButtons::Ok});
        return;
    }
    // The main window's timer sees the request and rebuilds the tabs; once unlocked the code
    // has nothing more to do.
    TabLockState expected = TabLockState::Locked;
    programState().tabLockState.compare_exchange_strong(expected, TabLockState::UnlockRequested);
}

void CInputCapcode::unlockSerialNumber() {
    const std::optional<QString> code = dialogs_->askSerialCode(window());
    if (!code) {
        return;
    }
    if (*code != kSerialAccessCode) {
        showMessage({kPasswordErrorText, kCaption, MessageIcon::None, MessageButtons::Ok});
        return;
    }
    programState().serialWriteEnabled.store(true);
    enableSerialControls();
}

void CInputCapcode::enableSerialControls() {
    serialLabel_->setEnabled(true);
    serial_->setEnabled(true);
    serialIncrement_->setEnabled(true);
}

void CInputCapcode::openRepairDialog() {
    dialogs_->runRepair(window());
}
