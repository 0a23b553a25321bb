#pragma once

#include <string>

// A message box as the procedures describe it, without any user-interface library.
// The stop icon is also what the pages call the error icon.
enum class MessageIcon { None, Information, Stop };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

struct MessageRequest {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;

    bool operator==(const MessageRequest&) const = default;
};
