#pragma once

#include "programming/MessageRequest.h"

class QWidget;

// Every message box of the program goes through one of these, so that tests can answer the
// boxes instead of a person. Show must be called on the user-interface thread.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // Shows the box modally over owner (may be null) and returns the button chosen.
    virtual MessageAnswer Show(QWidget* owner, const MessageRequest& request) = 0;
};

// The real boxes: the caption is the window title and the text is shown as plain text, exactly
// as given, blanks included. Details, when given, are the box's detailed text, shown with its
// "Show Details..." button. Texts are UTF-8 (the fixed texts are plain ASCII).
class QtMessageBoxService final : public MessageBoxService {
public:
    MessageAnswer Show(QWidget* owner, const MessageRequest& request) override;
};
