#pragma once

#include "link/sim/InProcessCradleBackend.h"
#include "programming/ProgrammerContext.h"
#include "ui/controls/MessageBoxService.h"
#include "ui/main/FileChooserService.h"
#include "ui/main/MainWindow.h"

#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Message boxes as a person would answer them: every box is recorded with its owner, and an
// optional action runs while the box is "open" (for instance clicking other buttons while a
// worker waits on the box). Answers Ok unless scripted otherwise.
class ActingMessageBoxService final : public MessageBoxService {
public:
    struct Shown {
        QWidget* owner;
        MessageRequest request;
    };

    MessageAnswer Show(QWidget* owner, const MessageRequest& request) override;

    std::vector<Shown> shown;
    std::deque<MessageAnswer> answers;
    std::function<void(const MessageRequest&)> whileOpen;

    int Count(const std::string& text) const;
};

// Answers file dialogs from a script and records what they were asked to show.
class ScriptedFileChooser final : public FileChooserService {
public:
    std::optional<QString> Choose(QWidget* owner, const FileDialogRequest& request) override;

    std::deque<QString> answers; // a null QString: cancelled
    std::vector<FileDialogRequest> requests;
};

// A main window in a fresh working directory, wired to simulated cradles in the same process
// (on a virtual clock, so transfers take no real time) and to the doubles above.
class MainWindowRig {
public:
    MainWindowRig();
    ~MainWindowRig();

    // Adds a cradle holding a pager with this memory; it is seen at the next open attempt.
    std::shared_ptr<CradleSimulator> PlugCradle(const PagerImage& memory);
    CTarnwick4730NewDlg& Start();

    std::filesystem::path Path(const std::string& name) const;
    bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
    // Waits until a started read or write has made its last call.
    bool WaitForTransfer();
    // The pages the window shows now.
    std::vector<PageKind> VisiblePages() const;
    std::vector<QString> TabCaptions() const;

    QTemporaryDir folder;
    std::shared_ptr<InProcessCradleBackend> backend = std::make_shared<InProcessCradleBackend>();
    ProgrammerContext context;
    ActingMessageBoxService messages;
    ScriptedFileChooser files;
    std::unique_ptr<CTarnwick4730NewDlg> window;

private:
    std::filesystem::path previousDirectory_;
};

PagerImage ReadFileBytes(const std::filesystem::path& path, std::size_t* size = nullptr);
void WriteFileBytes(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);
