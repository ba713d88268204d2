#include "platform/olecontrol.h"

#include <strings.h>

#include <wx/dcclient.h>
#include <wx/panel.h>
#include <wx/window.h>

namespace platform {

bool CPropExchange::ExchangeVersion(std::uint32_t& version, std::uint32_t default_version, bool /*convert*/) {
    if (m_loading) {
        version = m_hasVersion ? m_version : default_version;
    } else {
        m_version = version;
        m_hasVersion = true;
    }
    return true;
}

// The control's own window: it tells the control when it is painted and when
// it goes away (destroyed with its parent, say).
class COleControl::ControlWindow : public wxWindow {
public:
    ControlWindow(COleControl* owner, wxWindow* parent, const wxRect& rect)
        : wxWindow(parent, wxID_ANY, rect.GetPosition(), rect.GetSize(), wxFULL_REPAINT_ON_RESIZE,
                   owner->GetRuntimeClassName()),
          m_owner(owner) {
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
            wxPaintDC dc(this);
            if (m_owner) {
                const wxRect bounds(wxPoint(0, 0), GetClientSize());
                m_owner->OnDraw(dc, bounds, GetUpdateClientRect());
            }
        });
    }
    ~ControlWindow() override {
        if (m_owner) m_owner->OnWindowGone();
    }
    void Detach() { m_owner = nullptr; }

private:
    COleControl* m_owner;
};

COleControl::COleControl() = default;

COleControl::~COleControl() {
    if (m_window) {
        m_window->Detach();
        m_window->Destroy();
    }
}

HRESULT COleControl::QueryInterface(const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch)
        *object = static_cast<IDispatch*>(this);
    else if (iid == IID_IPersistStreamInit)
        *object = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_IPersistPropertyBag)
        *object = static_cast<IPersistPropertyBag*>(this);
    else if (iid == IID_IOleInPlaceControl)
        *object = static_cast<IOleInPlaceControl*>(this);
    else
        *object = QueryExtraInterface(iid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT COleControl::GetTypeInfoCount(unsigned* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT COleControl::GetIDsOfNames(const std::string& name, DISPID* id) {
    if (!id) return E_POINTER;
    for (const DispatchEntry& entry : GetDispatchMap()) {
        if (strcasecmp(entry.name, name.c_str()) == 0) {
            *id = entry.id;
            return S_OK;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT COleControl::Invoke(DISPID id, std::uint16_t flags, const std::vector<VARIANT>& args, VARIANT* result) {
    for (const DispatchEntry& entry : GetDispatchMap()) {
        if (entry.id != id) continue;
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (args.size() != entry.params.size()) return DISP_E_BADPARAMCOUNT;
        for (std::size_t i = 0; i < args.size(); ++i)
            if (args[i].vt != entry.params[i]) return DISP_E_TYPEMISMATCH;
        if (result) *result = VARIANT();
        AddRef();  // the method may make the host drop the control
        entry.call(this, args);
        Release();
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

void COleControl::ExchangeVersion(CPropExchange* pPX, std::uint32_t version, bool convert) {
    m_version = version;
    pPX->ExchangeVersion(m_version, version, convert);
}

void COleControl::DoPropExchange(CPropExchange*) {}

HRESULT COleControl::Exchange(CPropExchange* pPX) {
    DoPropExchange(pPX);
    return S_OK;
}

HRESULT COleControl::InitNew() {
    OnResetState();
    CPropExchange px(true);
    return Exchange(&px);
}

HRESULT COleControl::Load(const std::string& stream) {
    if (stream.size() < 4) return E_FAIL;
    const std::uint32_t version = static_cast<unsigned char>(stream[0]) |
                                  static_cast<unsigned char>(stream[1]) << 8 |
                                  static_cast<unsigned char>(stream[2]) << 16 |
                                  static_cast<std::uint32_t>(static_cast<unsigned char>(stream[3])) << 24;
    CPropExchange px(true, version, true);
    return Exchange(&px);
}

HRESULT COleControl::Save(std::string* stream) {
    if (!stream) return E_POINTER;
    CPropExchange px(false);
    const HRESULT hr = Exchange(&px);
    const std::uint32_t v = px.GetVersion();
    stream->assign({static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v >> 16 & 0xFF),
                    static_cast<char>(v >> 24 & 0xFF)});
    return hr;
}

HRESULT COleControl::Load(const PropertyBag& bag) {
    for (const PropertyBagEntry& entry : bag) {
        if (strcasecmp(entry.name.c_str(), "_Version") != 0) continue;
        if (entry.value.vt != VT_I4) return E_FAIL;
        CPropExchange px(true, static_cast<std::uint32_t>(entry.value.lVal), true);
        return Exchange(&px);
    }
    CPropExchange px(true);
    return Exchange(&px);
}

HRESULT COleControl::Save(PropertyBag* bag) {
    if (!bag) return E_POINTER;
    CPropExchange px(false);
    const HRESULT hr = Exchange(&px);
    bag->push_back({"_Version", VARIANT::Long(static_cast<std::int32_t>(px.GetVersion()))});
    return hr;
}

int COleControl::OnCreate() { return 0; }

HRESULT COleControl::InPlaceActivate(wxWindow* parent, const ControlRect& bounds) {
    if (!parent) return E_INVALIDARG;
    if (m_window) return SetObjectRects(bounds);
    const wxRect rect(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
    m_window = new ControlWindow(this, parent, rect);
    if (OnCreate() == -1) {
        m_window->Detach();
        m_window->Destroy();
        m_window = nullptr;
        return E_FAIL;
    }
    m_window->Show();
    return S_OK;
}

HRESULT COleControl::SetObjectRects(const ControlRect& bounds) {
    if (!m_window) return E_UNEXPECTED;
    m_window->SetSize(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
    m_window->Refresh();
    return S_OK;
}

HRESULT COleControl::Close() {
    if (m_window) {
        ControlWindow* window = m_window;
        window->Destroy();  // OnWindowGone clears m_window
    }
    return S_OK;
}

wxWindow* COleControl::GetWindow() { return m_window; }

void COleControl::OnWindowGone() {
    m_window = nullptr;
    OnDestroy();
}

// ---------------------------------------------------------------------------

COlePropertyPage::COlePropertyPage(const DialogTemplate* layout, std::string caption)
    : m_layout(layout), m_caption(std::move(caption)) {}

HRESULT COlePropertyPage::QueryInterface(const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown) return E_NOINTERFACE;
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
}

wxPanel* COlePropertyPage::CreatePage(wxWindow* parent) {
    if (!m_layout || !parent) return nullptr;
    auto* page = new wxPanel(parent, wxID_ANY);
    CreateTemplateControls(page, *m_layout);
    page->SetClientSize(DialogUnits::For(page, page->GetFont()).Size(*m_layout));
    return page;
}

}  // namespace platform
