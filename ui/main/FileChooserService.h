#pragma once

#include <QString>

#include <optional>

class QWidget;

// What a Save or Load file dialog is asked to show.
struct FileDialogRequest {
    enum class Purpose { Save, Open };

    Purpose purpose = Purpose::Open;
    QString filter;           // e.g. "Save Eeprom Data Files(*.sav)"
    QString defaultSuffix;    // appended when the user types a name without one
    QString proposedName;     // shown in the name box at first
    QString initialDirectory; // where the dialog opens

    bool operator==(const FileDialogRequest&) const = default;
};

// Every file dialog of the program goes through one of these, so that tests can choose files
// instead of a person and no native dialog ever blocks a test. Must be called on the
// user-interface thread.
class FileChooserService {
public:
    virtual ~FileChooserService() = default;
    // The chosen path, or nothing when the dialog was cancelled.
    virtual std::optional<QString> Choose(QWidget* owner, const FileDialogRequest& request) = 0;
};

// The real dialogs, modal over owner.
class QtFileChooserService final : public FileChooserService {
public:
    std::optional<QString> Choose(QWidget* owner, const FileDialogRequest& request) override;
};
