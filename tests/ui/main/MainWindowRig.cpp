#include "MainWindowRig.h"

#include "tests/ui/EventLoopWait.h"

#include "ui/controls/SettingsTabControl.h"

#include <algorithm>
#include <fstream>
#include <iterator>

MessageAnswer ActingMessageBoxService::Show(QWidget* owner, const MessageRequest& request) {
    shown.push_back({owner, request});
    if (whileOpen) {
        whileOpen(request);
    }
    if (answers.empty()) {
        return MessageAnswer::Ok;
    }
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

int ActingMessageBoxService::Count(const std::string& text) const {
    return static_cast<int>(std::ranges::count_if(
        shown, [&](const Shown& entry) { return entry.request.text == text; }));
}

std::optional<QString> ScriptedFileChooser::Choose(QWidget*, const FileDialogRequest& request) {
    requests.push_back(request);
    if (answers.empty()) {
        return std::nullopt;
    }
    const QString answer = answers.front();
    answers.pop_front();
    if (answer.isNull()) {
        return std::nullopt;
    }
    return answer;
}

MainWindowRig::MainWindowRig() : previousDirectory_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder.path().toStdString());
    context.usb = MakeLayerOver(backend);
}

MainWindowRig::~MainWindowRig() {
    window.reset();
    std::filesystem::current_path(previousDirectory_);
}

std::shared_ptr<CradleSimulator> MainWindowRig::PlugCradle(const PagerImage& memory) {
    auto cradle = std::make_shared<CradleSimulator>(memory);
    backend->AddCradle(cradle);
    return cradle;
}

CTarnwick4730NewDlg& MainWindowRig::Start() {
    window = std::make_unique<CTarnwick4730NewDlg>(
        MainWindowServices{context, messages, files, [](std::chrono::milliseconds) {}});
    window->show();
    return *window;
}

std::filesystem::path MainWindowRig::Path(const std::string& name) const {
    return std::filesystem::path(folder.path().toStdString()) / name;
}

bool MainWindowRig::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    return ::WaitUntil(condition, timeoutMs);
}

bool MainWindowRig::WaitForTransfer() {
    return WaitUntil([this] { return !window->isTransferRunning(); });
}

std::vector<PageKind> MainWindowRig::VisiblePages() const {
    std::vector<PageKind> visible;
    for (std::size_t i = 0; i < kPageCount; ++i) {
        const auto kind = static_cast<PageKind>(i);
        if (window->pages().page(kind).isVisible()) {
            visible.push_back(kind);
        }
    }
    return visible;
}

std::vector<QString> MainWindowRig::TabCaptions() const {
    std::vector<QString> captions;
    captions.reserve(static_cast<std::size_t>(window->tabControl().tabCount()));
    for (int i = 0; i < window->tabControl().tabCount(); ++i) {
        captions.push_back(window->tabControl().caption(i));
    }
    return captions;
}

PagerImage ReadFileBytes(const std::filesystem::path& path, std::size_t* size) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    if (size != nullptr) {
        *size = bytes.size();
    }
    PagerImage image{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), image.size()), image.begin());
    return image;
}

void WriteFileBytes(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
