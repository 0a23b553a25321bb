#pragma once

// The fixed texts of the read and write procedures. Leading and trailing blanks are part of
// the texts and differ on purpose between the messages.

inline constexpr const char* kReadCaption = "V2 Pager Programmer";
inline constexpr const char* kWriteCaption = "Pager Programmer";

inline constexpr const char* kReadOkText = "Read OK !";
inline constexpr const char* kWriteOkText = "WRITE OK !";

inline constexpr const char* kReadErrorText = "    Read error !     ";

inline constexpr const char* kV2PagerQuestion =
    "V2 pager detected. Would you like to change to V2 programming screen? ";
inline constexpr const char* kV1PagerQuestion =
    "V1 pager detected. Would you like to change to V1 programming screen? ";
inline constexpr const char* kNoPagerText = "Cannot detect pager or invalid pager in cradle !";

// Capcode 0 in an enabled row, and capcode 1..7 in any row.
inline constexpr const char* kCapcodeZeroText = "Capcode cannot less 8 ! ";
inline constexpr const char* kCapcodeBelowEightText = "Capcode cannot less 8 !  ";

// A block came back different; the final identity request could not be sent; its reply was
// missing or named no pager.
inline constexpr const char* kBlockMismatchText = "  Write error !          ";
inline constexpr const char* kFinalSendErrorText = "  Write error !      ";
inline constexpr const char* kFinalReplyErrorText = "  Write error !       ";

// A failed exchange with the cradle.
inline constexpr const char* kUsbErrorText = "USB error,Please reinsert the USB device ! ";
inline constexpr const char* kLinkCaption = "V2 Pager Programmer";
