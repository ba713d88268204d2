// Message boxes with the arguments the dialogs were designed around: an owner
// window, a text, a caption and the button and icon flags. Tests install a
// handler that records each box and answers it instead of showing a window.
#pragma once

#include <functional>
#include <string>

class wxWindow;

namespace platform {

// Buttons.
constexpr unsigned MB_OK = 0x00000000;
constexpr unsigned MB_YESNO = 0x00000004;
// Icons.
constexpr unsigned MB_ICONQUESTION = 0x00000020;
constexpr unsigned MB_ICONEXCLAMATION = 0x00000030;
constexpr unsigned MB_ICONINFORMATION = 0x00000040;
constexpr unsigned MB_BUTTON_MASK = 0x0000000F;
constexpr unsigned MB_ICON_MASK = 0x000000F0;

// Answers.
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

struct MessageBoxCall {
    wxWindow* owner;       // may be null
    std::string text;      // UTF-8
    std::string caption;   // UTF-8
    unsigned flags;
};

// Shows a modal box and returns the button pressed (IDOK, IDYES or IDNO).
// Call on the user-interface thread.
int MessageBox(wxWindow* owner, const std::string& text, const std::string& caption,
               unsigned flags);

using MessageBoxHandler = std::function<int(const MessageBoxCall&)>;
// Replaces the real box (an empty handler restores it). Returns the previous
// handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
