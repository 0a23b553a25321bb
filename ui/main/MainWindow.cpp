#include "ui/main/MainWindow.h"

#include "image/ImageCodec.h"
#include "image/ImageFiles.h"
#include "image/ImageLoading.h"
#include "link/UsbDeviceLayer.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/DialogUnits.h"
#include "ui/controls/HoverButton.h"
#include "ui/controls/MessageBoxService.h"
#include "ui/controls/SettingsTabControl.h"
#include "ui/main/AboutDialog.h"
#include "ui/main/FileChooserService.h"
#include "ui/pages/CannedMessagePage.h"
#include "ui/pages/GeneralPage.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

// The pictures are compiled into this static library, whose resources are registered by hand.
static void RegisterMainWindowResources() {
    Q_INIT_RESOURCE(main_window);
}

namespace {

constexpr const char* kDialogFontFace = "Tahoma";
constexpr int kDialogFontPoints = 8;
constexpr int kButtonFontTenths = 200;
const QColor kButtonFace(236, 233, 216);

constexpr const char* kImageFileName = "*.sav";
constexpr const char* kSaveFilter = "Save Eeprom Data Files(*.sav)";
constexpr const char* kOpenFilter = "Open Eeprom data Files(*.sav)";
constexpr const char* kImageSuffix = "sav";

// The column headings of " Can Message 2 ", which shows capcodes 5 to 8.
constexpr int kCanMessage2FirstCapcode = 5;

// A chosen file name in the file system's own encoding.
std::filesystem::path LocalPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

// A dialog left with its proposed name "*.sav" hands that name back in the folder it shows:
// nothing was chosen, which counts as a cancel.
bool NothingChosen(const std::optional<QString>& path) {
    return !path || QFileInfo(*path).fileName() == QLatin1String(kImageFileName);
}

std::string CurrentDirectory() {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string(".") : current.string();
}

} // namespace

CTarnwick4730NewDlg::CTarnwick4730NewDlg(const MainWindowServices& services, QWidget* parent)
    : QDialog(parent), context_(services.context), messages_(services.messages),
      files_(services.files), workerHost_(*this, *this),
      workers_(std::make_unique<TransferWorkers>(context_, workerHost_, services.sleeper)) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QFont dialogFont(QString::fromLatin1(kDialogFontFace));
    dialogFont.setPointSize(kDialogFontPoints);
    setFont(dialogFont);
    buildControls();

    // The About item is in the window's context menu (contextMenuEvent): window managers do
    // not let a program extend their system menu.
    RegisterMainWindowResources();
    icon_ = QIcon(QStringLiteral(":/pager-programmer/icon.png"));
    setWindowIcon(icon_);

    openCradle();
    context_.state.programmingMode.store(Generation::V2);
    setUpButtons();

    context_.state.workingDirectory = CurrentDirectory();
    {
        std::lock_guard lock(context_.dataMutex);
        LoadStartupImage(context_.image, context_.settings, context_.state.programmingMode.load(),
                         context_.state.workingDirectory);
    }

    background_ = QPixmap(QStringLiteral(":/pager-programmer/background.png"));
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    pages_ = std::make_unique<SettingsPageSet>(PageEnvironment{context_, messages_}, *tabs_);
    tabs_->AddTab(&pages_->page(PageKind::General), SettingsPageSet::Caption(PageKind::General));
    // Called during construction, so this class's own version runs; said so explicitly.
    CTarnwick4730NewDlg::ShowSettings();

    connect(&timer_, &QTimer::timeout, this, &CTarnwick4730NewDlg::timerTick);
    timer_.start(kTimerPeriodMs);
}

CTarnwick4730NewDlg::~CTarnwick4730NewDlg() {
    destroyHandling();
}

void CTarnwick4730NewDlg::buildControls() {
    const DialogBaseUnits units = BaseUnitsOf(font());
    setFixedSize(DialogSizeToPixels(kDialogSize, units));

    tabs_ = new CMyTab(this);
    tabs_->setGeometry(DialogRectToPixels(kTabControlRect, units));
    SetControlId(tabs_, kTabControlId);
    tabs_->setAccessibleName(QStringLiteral("Settings"));

    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const ButtonPlacement& placement = kButtons[i];
        auto* created = new CButtonEx(QString::fromLatin1(placement.caption), this);
        created->setGeometry(DialogRectToPixels(placement.rect, units));
        SetControlId(created, placement.id);
        created->setAccessibleName(QString::fromLatin1(placement.caption));
        buttons_[i] = created;
    }
    connect(&button(kReadId), &QPushButton::clicked, this, &CTarnwick4730NewDlg::readClicked);
    connect(&button(kWriteId), &QPushButton::clicked, this, &CTarnwick4730NewDlg::writeClicked);
    connect(&button(kSaveId), &QPushButton::clicked, this, &CTarnwick4730NewDlg::saveClicked);
    connect(&button(kLoadId), &QPushButton::clicked, this, &CTarnwick4730NewDlg::loadClicked);
    connect(&button(kExitId), &QPushButton::clicked, this, &QDialog::accept);

    status_ = new QLineEdit(this);
    status_->setReadOnly(true);
    status_->setGeometry(DialogRectToPixels(kStatusRect, units));
    SetControlId(status_, kStatusId);
    status_->setAccessibleName(QStringLiteral("Status"));

    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setGeometry(DialogRectToPixels(kProgressRect, units));
    SetControlId(progress_, kProgressId);
    progress_->setAccessibleName(QStringLiteral("Progress"));
}

void CTarnwick4730NewDlg::setUpButtons() {
    for (CButtonEx* each : buttons_) {
        each->SetFont(kButtonFontTenths, QString::fromLatin1(kDialogFontFace));
    }
    for (CButtonEx* each : buttons_) {
        each->SetFaceColour(kButtonFace);
    }
}

void CTarnwick4730NewDlg::openCradle() {
    if (context_.usb) {
        context_.channel = std::make_unique<CC8051f320Usb>(*context_.usb);
    }
    if (!context_.channel || !context_.channel->Open(kCradleDeviceString)) {
        EnableTransferButtons(false);
    }
    reportAccessProblem();
}

CButtonEx& CTarnwick4730NewDlg::button(int id) const {
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        if (kButtons[i].id == id) {
            return *buttons_[i];
        }
    }
    return *buttons_.front();
}

// ---- host operations ------------------------------------------------------------------------

void CTarnwick4730NewDlg::EnableTransferButtons(bool enabled) {
    button(kReadId).setEnabled(enabled);
    button(kWriteId).setEnabled(enabled);
}

MessageAnswer CTarnwick4730NewDlg::ShowMessage(const MessageRequest& request) {
    return messages_.Show(this, request);
}

void CTarnwick4730NewDlg::SetStatusText(const std::string& text) {
    status_->setText(QString::fromStdString(text));
}

void CTarnwick4730NewDlg::SetProgressRange(int minimum, int maximum) {
    progress_->setRange(minimum, maximum);
}

void CTarnwick4730NewDlg::SetProgressStep(int step) {
    progressStep_ = step;
}

void CTarnwick4730NewDlg::SetProgressPosition(int position) {
    // The procedures step once past the end of a pass; the bar stays full rather than
    // ignoring the value.
    progress_->setValue(std::clamp(position, progress_->minimum(), progress_->maximum()));
}

void CTarnwick4730NewDlg::StepProgress() {
    SetProgressPosition(progress_->value() + progressStep_);
}

void CTarnwick4730NewDlg::DecodeImage() {
    std::lock_guard lock(context_.dataMutex);
    DecodeImageAndRecord(context_.image, context_.state.programmingMode.load(), context_.settings,
                         context_.state.workingDirectory);
}

void CTarnwick4730NewDlg::RebuildTabs() {
    pages_->RebuildTabs(*tabs_, context_.state);
}

void CTarnwick4730NewDlg::ShowSettings() {
    const bool v2 = context_.state.programmingMode.load() == Generation::V2;
    setWindowTitle(QString::fromLatin1(v2 ? kTitleV2 : kTitleV1));
    pages_->LoadAll();
    SettingsPage& canMessage2 = pages_->page(PageKind::CanMessage2);
    for (int column = 0; column < CCanMessage::kColumns; ++column) {
        if (auto* heading =
                FindControl<QLabel>(&canMessage2, CCanMessage::kFirstHeading + column)) {
            heading->setText(QStringLiteral("Capcode %1").arg(kCanMessage2FirstCapcode + column));
        }
    }
}

void CTarnwick4730NewDlg::GatherPages() {
    StorePages();
    std::lock_guard lock(context_.dataMutex);
    EncodeImage(context_.settings, context_.state.programmingMode.load(), CurrentLocalTime(),
                context_.image);
    WriteWorkingFile(context_.state.workingDirectory, context_.image);
}

void CTarnwick4730NewDlg::StorePages() {
    pages_->Store(context_.state.tabLockState.load() == TabLockState::Unlocked);
}

void CTarnwick4730NewDlg::LoadGeneralPage() {
    pages_->general().loadFromSettings();
}

void CTarnwick4730NewDlg::IncrementCapcodes() {
    pages_->general().incrementCapcodes();
}

// ---- commands -------------------------------------------------------------------------------

bool CTarnwick4730NewDlg::isTransferRunning() const {
    return workers_ && workers_->IsRunning();
}

void CTarnwick4730NewDlg::readClicked() {
    transferStarted(workers_->StartRead());
}

void CTarnwick4730NewDlg::writeClicked() {
    transferStarted(workers_->StartWrite());
}

void CTarnwick4730NewDlg::transferStarted(bool started) {
    if (!started) {
        return;
    }
    // Save and Load would gather into or replace the image the worker is using.
    fileButtonsHeld_ = true;
    button(kSaveId).setEnabled(false);
    button(kLoadId).setEnabled(false);
}

void CTarnwick4730NewDlg::saveClicked() {
    if (isTransferRunning()) {
        return;
    }
    const std::optional<QString> path =
        files_.Choose(this, {FileDialogRequest::Purpose::Save, QString::fromLatin1(kSaveFilter),
                             QString::fromLatin1(kImageSuffix), QString::fromLatin1(kImageFileName),
                             QFile::decodeName(context_.state.workingDirectory.c_str())});
    if (NothingChosen(path)) {
        return;
    }
    GatherPages();
    PagerImage image;
    {
        std::lock_guard lock(context_.dataMutex);
        image = context_.image;
    }
    if (FileError error = SaveImageFile(LocalPath(*path), image)) {
        showFileError(*error);
    }
}

void CTarnwick4730NewDlg::loadClicked() {
    if (isTransferRunning()) {
        return;
    }
    const std::optional<QString> path =
        files_.Choose(this, {FileDialogRequest::Purpose::Open, QString::fromLatin1(kOpenFilter),
                             QString::fromLatin1(kImageSuffix), QString::fromLatin1(kImageFileName),
                             QFile::decodeName(context_.state.workingDirectory.c_str())});
    if (NothingChosen(path)) {
        return;
    }
    FileError error;
    {
        std::lock_guard lock(context_.dataMutex);
        error =
            LoadImageFile(LocalPath(*path), context_.image, context_.settings,
                          context_.state.programmingMode.load(), context_.state.workingDirectory);
    }
    if (error) {
        showFileError(*error);
        return;
    }
    ShowSettings();
}

void CTarnwick4730NewDlg::showFileError(const std::string& reason) {
    ShowMessage({reason, kFileErrorCaption, MessageIcon::Stop, MessageButtons::Ok});
}

void CTarnwick4730NewDlg::showAboutBox() {
    CAboutDlg about(icon_, this);
    about.exec();
}

// ---- timer ----------------------------------------------------------------------------------

void CTarnwick4730NewDlg::timerTick() {
    std::uint8_t requested = kRepairRequested;
    if (context_.state.repairWriteRequest.compare_exchange_strong(requested, kRepairUnderWay)) {
        writeClicked();
    }
    if (context_.state.tabLockState.load() == TabLockState::UnlockRequested) {
        RebuildTabs();
    }
    reconnectCradle();
    finishAfterWorker();
}

void CTarnwick4730NewDlg::reconnectCradle() {
    // A running worker owns the channel, even while it waits on a message box whose event
    // loop keeps this timer ticking; it is reopened on the first tick after the worker.
    if (isTransferRunning() || !context_.channel || context_.channel->IsOpen()) {
        return;
    }
    if (context_.channel->Open(kCradleDeviceString)) {
        EnableTransferButtons(true);
    }
    reportAccessProblem();
}

void CTarnwick4730NewDlg::reportAccessProblem() {
    auto* layer = dynamic_cast<UsbDeviceLayer*>(context_.usb.get());
    if (layer == nullptr) {
        return;
    }
    // The layer hands a problem out once; it is shown after the current event, so that the
    // box never opens in the middle of the initialisation or a tick.
    if (std::optional<std::string> problem = layer->TakeAccessProblem()) {
        QTimer::singleShot(0, this, [this, text = *problem] {
            ShowMessage(
                {text, kAccessProblemCaption, MessageIcon::Information, MessageButtons::Ok});
        });
    }
}

void CTarnwick4730NewDlg::finishAfterWorker() {
    if (isTransferRunning()) {
        return;
    }
    if (fileButtonsHeld_) {
        fileButtonsHeld_ = false;
        button(kSaveId).setEnabled(true);
        button(kLoadId).setEnabled(true);
    }
    if (closeResult_) {
        const int result = *closeResult_;
        closeResult_.reset();
        workers_->Wait();
        QDialog::done(result);
    }
}

void CTarnwick4730NewDlg::done(int result) {
    if (isTransferRunning()) {
        closeResult_ = result;
        return;
    }
    QDialog::done(result);
}

// ---- keys, painting and menus ---------------------------------------------------------------

void CTarnwick4730NewDlg::keyPressEvent(QKeyEvent* event) {
    // What reaches the window was not taken by a button or a page. The dialog's own handling
    // would press the General page's default "OK" from the status box or the tab strip.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QRect CTarnwick4730NewDlg::backgroundRect() const {
    const QRect client = rect();
    return QRect(
        client.topLeft(),
        QPoint(client.right(), std::max(client.top(), client.bottom() - kBackgroundBottomGap)));
}

void CTarnwick4730NewDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (background_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(backgroundRect(), background_);
}

void CTarnwick4730NewDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QString::fromLatin1(kAboutItemText), this, &CTarnwick4730NewDlg::showAboutBox);
    menu.exec(event->globalPos());
}

// ---- destroy --------------------------------------------------------------------------------

void CTarnwick4730NewDlg::destroyHandling() {
    timer_.stop();
    // Normally the close waited for the worker already. When the window goes anyway, the
    // worker stops at its next step; its calls are served until it has ended.
    workers_->BeginShutdown();
    while (workers_->IsRunning()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    workers_.reset();

    pages_.reset();
    if (context_.channel) {
        if (context_.channel->IsOpen()) {
            context_.channel->Close();
        }
        context_.channel.reset();
    }
}
