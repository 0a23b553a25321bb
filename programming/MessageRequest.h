#pragma once

#include <string>
#include <utility>

// A message box as the procedures describe it, without any user-interface library.
// The stop icon is also what the pages call the error icon.
enum class MessageIcon { None, Information, Stop };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

struct MessageRequest {
    MessageRequest() = default;
    MessageRequest(std::string text, std::string caption, MessageIcon icon = MessageIcon::None,
                   MessageButtons buttons = MessageButtons::Ok, std::string details = {})
        : text(std::move(text)), caption(std::move(caption)), icon(icon), buttons(buttons),
          details(std::move(details)) {}

    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    // What went wrong, for the box's details area; empty for boxes that need none. The text,
    // caption, icon and buttons stay exactly as above.
    std::string details;

    bool operator==(const MessageRequest&) const = default;
};
