// The base of a windowed control and of its property page, in the manner of
// the framework's control classes: the control answers the interfaces a
// container and a script host use (dispatch through a table of methods,
// persistence of its version, in-place activation), makes its own window when
// activated, calls OnCreate as that window is made and OnDraw with the window's
// bounds whenever it is painted.
#pragma once

#include <string>
#include <vector>

#include "platform/comobj.h"
#include "platform/dlgtemplate.h"

class wxDC;
class wxPanel;

namespace platform {

// One property exchange: loading fills the control from stored values, saving
// writes them. Only the version is stored: the controls have no properties.
class CPropExchange {
public:
    explicit CPropExchange(bool loading, std::uint32_t stored_version = 0, bool has_version = false)
        : m_loading(loading), m_version(stored_version), m_hasVersion(has_version) {}

    bool IsLoading() const { return m_loading; }
    std::uint32_t GetVersion() const { return m_version; }
    bool HasVersion() const { return m_hasVersion; }

    // Loading: `version` becomes the stored version, or `default_version`
    // when nothing was stored. Saving: `version` is what gets stored.
    bool ExchangeVersion(std::uint32_t& version, std::uint32_t default_version, bool convert);

private:
    bool m_loading;
    std::uint32_t m_version;
    bool m_hasVersion;
};

class COleControl;

// One method of a control's dispatch map.
struct DispatchEntry {
    const char* name;
    DISPID id;
    std::vector<VARTYPE> params;
    void (*call)(COleControl* control, const std::vector<VARIANT>& args);
};

class COleControl : public CComObjectBase,
                    public IDispatch,
                    public IPersistStreamInit,
                    public IPersistPropertyBag,
                    public IOleInPlaceControl {
public:
    COleControl();
    ~COleControl() override;

    // IUnknown (every interface part delegates here).
    HRESULT QueryInterface(const IID& iid, void** object) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // IDispatch over GetDispatchMap().
    HRESULT GetTypeInfoCount(unsigned* count) override;
    HRESULT GetIDsOfNames(const std::string& name, DISPID* id) override;
    HRESULT Invoke(DISPID id, std::uint16_t flags, const std::vector<VARIANT>& args, VARIANT* result) override;

    // IPersistStreamInit and IPersistPropertyBag: both run DoPropExchange.
    // The control class writes its CLSID in GetClassID.
    HRESULT InitNew() override;
    HRESULT Load(const std::string& stream) override;
    HRESULT Save(std::string* stream) override;
    HRESULT Load(const PropertyBag& bag) override;
    HRESULT Save(PropertyBag* bag) override;

    // IOleInPlaceControl.
    HRESULT InPlaceActivate(wxWindow* parent, const ControlRect& bounds) override;
    HRESULT SetObjectRects(const ControlRect& bounds) override;
    HRESULT Close() override;
    wxWindow* GetWindow() override;

    // What the control class overrides.
    virtual const char* GetRuntimeClassName() const = 0;
    virtual const std::vector<DispatchEntry>& GetDispatchMap() const = 0;
    // Interfaces beyond the base's (an interface map); null when none.
    virtual void* QueryExtraInterface(const IID&) { return nullptr; }
    // Made as the control's window is created: -1 refuses the window.
    virtual int OnCreate();
    // Paints the control; `bounds` is the window's client rectangle.
    virtual void OnDraw(wxDC& dc, const wxRect& bounds, const wxRect& invalid) = 0;
    virtual void DoPropExchange(CPropExchange* pPX);
    virtual void OnResetState() {}
    // The control's window is going away (Close, or its parent destroyed);
    // its child windows go with it.
    virtual void OnDestroy() {}

    // The version last loaded or saved.
    std::uint32_t GetVersion() const { return m_version; }

protected:
    // The version exchange every control makes first in DoPropExchange.
    void ExchangeVersion(CPropExchange* pPX, std::uint32_t version, bool convert = true);

private:
    class ControlWindow;
    void OnWindowGone();
    HRESULT Exchange(CPropExchange* pPX);

    ControlWindow* m_window = nullptr;
    std::uint32_t m_version = 0;
};

// A property page: a caption and a window made from a dialog template of the
// module, with no property controls.
class COlePropertyPage : public CComObjectBase, public IUnknown {
public:
    COlePropertyPage(const DialogTemplate* layout, std::string caption);

    HRESULT QueryInterface(const IID& iid, void** object) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    const std::string& GetCaption() const { return m_caption; }
    int GetTemplateId() const { return m_layout ? m_layout->id : 0; }
    // The page's window as a child of `parent`; null without a template.
    wxPanel* CreatePage(wxWindow* parent);

private:
    const DialogTemplate* m_layout;
    std::string m_caption;
};

}  // namespace platform
