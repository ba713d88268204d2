// The class name a control would have as a native dialog control ("Edit",
// "Button", "Static", ...), so that code deciding by class name keeps its
// meaning with wx controls.
#pragma once

#include <string>

class wxWindow;

namespace platform {

// Controls of our own that stand in for a native control class say which.
class WindowClassNamed {
public:
    virtual ~WindowClassNamed() = default;
    virtual const char* WindowClassName() const = 0;
};

// "Edit" (text entry), "Button" (push, check and radio buttons, group boxes),
// "Static", "ComboBox", "ListBox", "SysListView32", "msctls_updown32",
// "msctls_progress32", what a WindowClassNamed control says, else the wx class
// name. Empty for a null window.
std::string WindowClassName(const wxWindow* window);

}  // namespace platform
