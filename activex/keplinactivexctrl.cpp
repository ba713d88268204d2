#include "activex/keplinactivexctrl.h"

#include "searchui/texts.h"

#include <wx/window.h>

using namespace platform;

namespace activex {
namespace {

// The message texts the control takes from its string table rather than from
// the language file.
const struct {
    const char* key;
    unsigned id;
} kMessageStrings[] = {
    {searchui::kKeyAskCaption, IDS_ASK_CAPTION},
    {searchui::kKeyNoSelection, IDS_NO_SELECTION},
    {searchui::kKeyAskUpdate, IDS_ASK_UPDATE},
    {searchui::kKeyBadIp, IDS_BAD_IP},
    {searchui::kKeyBadMask, IDS_BAD_MASK},
    {searchui::kKeyBadGateway, IDS_BAD_GATEWAY},
    {searchui::kKeyLocalIp, IDS_LOCAL_IP},
    {searchui::kKeyBroadcastRefused, IDS_BROADCAST_REFUSED},
    {searchui::kKeyRestarting, IDS_RESTARTING},
    {searchui::kKeyBroadcastOk, IDS_BROADCAST_OK},
    {searchui::kKeyBroadcastFailed, IDS_BROADCAST_FAILED},
    {searchui::kKeyTipsCaption, IDS_TIPS_CAPTION},
};

bool IsPersistence(const IID& iid) {
    return iid == IID_IPersistPropertyBag || iid == IID_IPersistStreamInit || iid == IID_IPersistStorage ||
           iid == IID_IPersistMemory;
}

}  // namespace

CKeplinOcxCtrl::CKeplinOcxCtrl() : m_searchDlg(new DialogClass), m_xObjectSafety(this) {
    m_searchDlg->m_lang.SetLangFile(kDefaultLangFile);
    for (const auto& row : kMessageStrings) m_searchDlg->m_lang.m_builtin[row.key] = LoadModuleString(row.id);
}

CKeplinOcxCtrl::~CKeplinOcxCtrl() {
    // Once made, the dialog's window belongs to the control's window, which
    // the base destroys; before that the object is still ours.
    if (!m_dialogCreated) delete m_searchDlg;
}

HRESULT CKeplinOcxCtrl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = MakeGuid(kControlClsid);
    return S_OK;
}

const std::vector<DispatchEntry>& CKeplinOcxCtrl::GetDispatchMap() const {
    static const std::vector<DispatchEntry> map = {
        {"SetLang", dispidSetLang, {VT_BSTR},
         [](COleControl* control, const std::vector<VARIANT>& args) {
             static_cast<CKeplinOcxCtrl*>(control)->SetLang(args[0].bstrVal);
         }},
    };
    return map;
}

void* CKeplinOcxCtrl::QueryExtraInterface(const IID& iid) {
    if (kHasObjectSafety && iid == IID_IObjectSafety) return static_cast<IObjectSafety*>(&m_xObjectSafety);
    return nullptr;
}

int CKeplinOcxCtrl::OnCreate() {
    if (COleControl::OnCreate() == -1) return -1;
    // A dialog that cannot be made leaves an empty control.
    if (m_searchDlg && m_searchDlg->Create(GetWindow(), kDialogTemplate)) m_dialogCreated = true;
    return 0;
}

void CKeplinOcxCtrl::OnDraw(wxDC&, const wxRect& bounds, const wxRect&) {
    if (!m_dialogCreated || !m_searchDlg) return;
    const wxRect now = m_searchDlg->GetRect();
    if (now != bounds) {
        m_searchDlg->SetSize(bounds);
        m_searchDlg->Refresh();
    }
}

void CKeplinOcxCtrl::DoPropExchange(CPropExchange* pPX) {
    ExchangeVersion(pPX, kVersion);
    COleControl::DoPropExchange(pPX);
}

void CKeplinOcxCtrl::OnDestroy() {
    // The dialog goes with the control's window.
    if (m_dialogCreated) m_searchDlg = nullptr;
}

void CKeplinOcxCtrl::SetLang(const std::string& strFileName) {
    const std::string name = strFileName;
    if (!m_searchDlg) return;
    m_searchDlg->m_lang.SetLangFile(name);
    if (m_dialogCreated) m_searchDlg->ApplyTexts();
}

HRESULT CKeplinOcxCtrl::XObjectSafety::GetInterfaceSafetyOptions(const IID& iid, std::uint32_t* supported,
                                                                 std::uint32_t* enabled) {
    if (!supported || !enabled) return E_POINTER;
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    *enabled = 0;
    void* exposed = nullptr;
    if (FAILED(m_owner->QueryInterface(iid, &exposed))) return E_NOINTERFACE;
    static_cast<IUnknown*>(exposed)->Release();
    if (iid == IID_IDispatch) {
        *enabled = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
        return S_OK;
    }
    if (IsPersistence(iid)) {
        *enabled = INTERFACESAFE_FOR_UNTRUSTED_DATA;
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CKeplinOcxCtrl::XObjectSafety::SetInterfaceSafetyOptions(const IID& iid, std::uint32_t mask,
                                                                 std::uint32_t enabled) {
    if (mask == 0 && enabled == 0) return S_OK;
    void* exposed = nullptr;
    if (FAILED(m_owner->QueryInterface(iid, &exposed))) return E_FAIL;
    static_cast<IUnknown*>(exposed)->Release();
    if (iid == IID_IDispatch)
        return mask == INTERFACESAFE_FOR_UNTRUSTED_CALLER && enabled == INTERFACESAFE_FOR_UNTRUSTED_CALLER ? S_OK
                                                                                                          : E_FAIL;
    if (IsPersistence(iid))
        return mask == INTERFACESAFE_FOR_UNTRUSTED_DATA && enabled == INTERFACESAFE_FOR_UNTRUSTED_DATA ? S_OK : E_FAIL;
    return E_FAIL;
}

}  // namespace activex
