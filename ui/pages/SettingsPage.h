#pragma once

#include "image/PagerSettings.h"
#include "programming/MessageRequest.h"
#include "programming/ProgramState.h"

#include <QSize>
#include <QWidget>

#include <cstdint>

struct ProgrammerContext;
class MessageBoxService;

// What every page works with: the program-wide objects and the message boxes.
struct PageEnvironment {
    ProgrammerContext& context;
    MessageBoxService& messages;
};

// Base of every settings page: a borderless child widget, built once by the main window and
// placed on the tab control, that moves values between its controls and PagerSettings.
//
// A page constructs its controls in its constructor and then calls loadFromSettings(), so a
// new page shows the settings at once. The Enter key (main keyboard or keypad) pressed on any
// control inside a page is swallowed, so that it never reaches the main window's buttons,
// unless the page lets it through.
class SettingsPage : public QWidget {
    Q_OBJECT

public:
    // Every page has this size, which fits the tab control's page area.
    static constexpr QSize kPageSize{500, 355};

    SettingsPage(const PageEnvironment& environment, int templateId, QWidget* parent = nullptr);
    ~SettingsPage() override;

    // Settings to controls, applying the page's mode-dependent lists and visibility.
    virtual void loadFromSettings() = 0;
    // Controls to settings.
    virtual void storeToSettings() = 0;

    int templateId() const { return templateId_; }
    bool consumesEnterKey() const { return consumesEnterKey_; }

protected:
    // For the pages on which Enter keeps its usual meaning.
    void letEnterKeyThrough() { consumesEnterKey_ = false; }

    ProgrammerContext& context() const { return environment_.context; }
    PagerSettings& settings() const;
    ProgramState& programState() const;
    Generation programmingMode() const;
    bool isV1Mode() const { return programmingMode() == Generation::V1; }
    bool isV2Mode() const { return programmingMode() == Generation::V2; }

    // Shows a message box owned by the main window.
    MessageAnswer showMessage(const MessageRequest& request);

private:
    PageEnvironment environment_;
    int templateId_;
    bool consumesEnterKey_ = true;
};
