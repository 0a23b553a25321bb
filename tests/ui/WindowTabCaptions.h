#pragma once

#include <array>

// The captions of the window's fifteen tabs in V2 mode, in their order, blanks included.
inline constexpr std::array<const char*, 15> kWindowTabCaptions = {
    " General ",
    " OTA ",
    " Message Settings ",
    " Pager Menu Options ",
    " Hand Program ",
    " Tone Settings ",
    " Alert Settings ",
    " Unread Messages ",
    " Duplicate Messages ",
    " Out of Range ",
    " RF Settings ",
    " Alerting ",
    " Display ",
    " Can Message 1 ",
    " Can Message 2 ",
};
