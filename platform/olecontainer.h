// A container for the kit's controls: finds a control by ProgID or CLSID in
// the registry store, loads its module, gets the class object from the
// module's DllGetClassObject, creates the control with it and places it in a
// site window, which keeps the control the size of the site. Methods are
// called by name through the control's dispatch interface.
#pragma once

#include <string>
#include <vector>

#include <wx/window.h>

#include "platform/comobj.h"

namespace platform {

// Where a control's class lives, as the registry store says.
struct ControlLocation {
    CLSID clsid;
    std::string module_path;
};

// Resolves "{CLSID}" or a ProgID to the class and its module
// (ProgID\CLSID, then CLSID\{...}\InprocServer32). REGDB_E_CLASSNOTREG when
// either key is missing; `error` then says which.
HRESULT FindControlClass(const std::string& name, ControlLocation* location, std::string* error);

// Loads the module (it stays loaded for the life of the process, as a module
// with live objects must) and creates an instance of the class, answering
// `iid`. `error` says what failed.
HRESULT CreateControlInstance(const ControlLocation& location, const IID& iid, void** object, std::string* error);

// A window that hosts one control filling its client area: the control is
// given the new size whenever the site is resized, and so redraws (moving
// whatever it shows) at its next paint. Destroying the site closes and
// releases the control.
class COleControlSite : public wxWindow {
public:
    explicit COleControlSite(wxWindow* parent, wxWindowID id = wxID_ANY);
    ~COleControlSite() override;

    // Creates the control named by a ProgID or "{CLSID}" and activates it in
    // this window. False with `error` set when it cannot be had.
    bool CreateControl(const std::string& name, std::string* error);

    // Calls a dispatch method by name with string arguments. False with
    // `error` set for an unknown method or a refused call.
    bool CallMethod(const std::string& method, const std::vector<std::string>& args, std::string* error);

    IUnknown* GetControl() const { return m_control; }
    wxWindow* GetControlWindow() const;

private:
    void OnSize(wxSizeEvent& event);
    void ReleaseControl();

    IUnknown* m_control = nullptr;
    IOleInPlaceControl* m_inPlace = nullptr;
};

// A text for a result code ("0x80040154 (class not registered)").
std::string HResultText(HRESULT hr);

}  // namespace platform
