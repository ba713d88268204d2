// The search control: the device search dialog inside a control window, with
// one method, SetLang, that gives the dialog another language file.
#pragma once

#include "activex/identity.h"
#include "platform/olecontrol.h"

namespace activex {

enum : platform::DISPID { dispidSetLang = 1 };

class CKeplinOcxCtrl : public platform::COleControl {
public:
    CKeplinOcxCtrl();
    ~CKeplinOcxCtrl() override;

    const char* GetRuntimeClassName() const override { return kControlClassName; }
    platform::HRESULT GetClassID(platform::CLSID* clsid) override;
    const std::vector<platform::DispatchEntry>& GetDispatchMap() const override;
    void* QueryExtraInterface(const platform::IID& iid) override;
    int OnCreate() override;
    void OnDraw(wxDC& dc, const wxRect& bounds, const wxRect& invalid) override;
    void DoPropExchange(platform::CPropExchange* pPX) override;
    void OnDestroy() override;

    // Dispatch method 1.
    void SetLang(const std::string& strFileName);

    // The embedded dialog: made with the control, its window made in OnCreate
    // as a child of the control's window, which owns it from then on.
    DialogClass* m_searchDlg;

private:
    // The safety options a script host asks for (the Chinese control only).
    class XObjectSafety : public platform::IObjectSafety {
    public:
        explicit XObjectSafety(CKeplinOcxCtrl* owner) : m_owner(owner) {}
        platform::HRESULT QueryInterface(const platform::IID& iid, void** object) override {
            return m_owner->QueryInterface(iid, object);
        }
        platform::ULONG AddRef() override { return m_owner->AddRef(); }
        platform::ULONG Release() override { return m_owner->Release(); }
        platform::HRESULT GetInterfaceSafetyOptions(const platform::IID& iid, std::uint32_t* supported,
                                                    std::uint32_t* enabled) override;
        platform::HRESULT SetInterfaceSafetyOptions(const platform::IID& iid, std::uint32_t mask,
                                                    std::uint32_t enabled) override;

    private:
        CKeplinOcxCtrl* m_owner;
    } m_xObjectSafety;

    bool m_dialogCreated = false;
};

}  // namespace activex
