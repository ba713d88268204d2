// What tells the two search controls apart. The same sources build both
// modules; the English one is compiled with KEPLIN_OCX_ENGLISH.
#pragma once

#include "platform/comobj.h"
#include "searchui/searchdlg.h"
#include "searchui/templates.h"

namespace activex {

// Resource ids of the module.
enum : unsigned {
    IDS_KEPLINACTIVEX = 1,      // user type name of the control
    IDS_KEPLINACTIVEX_PPG = 2,  // type name of the property page
    IDS_ASK_CAPTION = 4,
    IDS_NO_SELECTION = 5,
    IDS_ASK_UPDATE = 6,
    IDS_BAD_IP = 7,
    IDS_BAD_MASK = 8,
    IDS_BAD_GATEWAY = 9,
    IDS_LOCAL_IP = 10,
    IDS_BROADCAST_REFUSED = 14,
    IDS_RESTARTING = 15,
    IDS_BROADCAST_OK = 16,
    IDS_BROADCAST_FAILED = 17,
    IDS_TIPS_CAPTION = 105,
    IDS_KEPLINACTIVEX_PPG_CAPTION = 200,
    IDB_KEPLINACTIVEX = 1,      // toolbox bitmap
};

// Property page templates.
constexpr int IDD_PROPPAGE_KEPLINACTIVEX = 200;
constexpr int IDD_PROPPAGE_KEPLINACTIVEX_EN = 202;

// Miscellaneous status of the control: recompose on resize, can't link
// inside, inside-out, activate when visible, set client site first.
constexpr unsigned kMiscStatus = 0x20191;
constexpr unsigned kVersion = 0x10000;  // 1.0, stored by DoPropExchange

#ifdef KEPLIN_OCX_ENGLISH
#define CKeplinOcxCtrl CKeplinActiveX_enCtrl
#define CKeplinOcxPropPage CKeplinActiveX_enPropPage
using DialogClass = CSearchEnDlg;
constexpr int kDialogTemplate = searchui::TEMPLATE_ENGLISH;
constexpr int kPropPageTemplate = IDD_PROPPAGE_KEPLINACTIVEX_EN;
constexpr bool kHasObjectSafety = false;
constexpr const char* kDefaultLangFile = "lang_en.ini";
constexpr const char* kTypeLibName = "KEPLINACTIVEX_ENLib";
constexpr const char* kTypeLibId = "{344770EF-11B1-4881-8552-2A29ED121140}";
constexpr const char* kTypeLibHelpString = "KeplinActiveX_en ActiveX Control module";
constexpr const char* kDispatchName = "_DKeplinActiveX_en";
constexpr const char* kDispatchIid = "{53624A98-CF52-4F5C-A33D-AA8B2D64E844}";
constexpr const char* kEventsName = "_DKeplinActiveX_enEvents";
constexpr const char* kEventsIid = "{57F6F133-E834-4C27-9C5A-CB7B9E51FA97}";
constexpr const char* kControlClsid = "{4CD1E4D7-7124-48A5-BDB3-240EDFD1969A}";
constexpr const char* kControlProgId = "KEPLINACTIVEXEN.KeplinActiveXenCtrl.1";
constexpr const char* kControlClassName = "CKeplinActiveX_enCtrl";
constexpr const char* kPageClsid = "{5CFAF37F-7DF6-46CD-BCA0-C635D57A0C6E}";
constexpr const char* kPageProgId = "KEPLINACTIVEXEN.KeplinActiveXenPropPage.1";
#else
#define CKeplinOcxCtrl CKeplinActiveXCtrl
#define CKeplinOcxPropPage CKeplinActiveXPropPage
using DialogClass = CSearchDlg;
constexpr int kDialogTemplate = searchui::TEMPLATE_CHINESE;
constexpr int kPropPageTemplate = IDD_PROPPAGE_KEPLINACTIVEX;
constexpr bool kHasObjectSafety = true;
constexpr const char* kDefaultLangFile = "lang_cn.ini";
constexpr const char* kTypeLibName = "KEPLINACTIVEXLib";
constexpr const char* kTypeLibId = "{FB9B15A9-CDBE-40B8-80C3-A6DE4EEEBE8F}";
constexpr const char* kTypeLibHelpString = "KeplinActiveX ActiveX Control module";
constexpr const char* kDispatchName = "_DKeplinActiveX";
constexpr const char* kDispatchIid = "{7A1150BC-79C5-472B-B505-4EB0BEB3DC58}";
constexpr const char* kEventsName = "_DKeplinActiveXEvents";
constexpr const char* kEventsIid = "{5E9CDB93-E024-4FC9-A4C9-8C1D3504E8C4}";
constexpr const char* kControlClsid = "{5E885D2D-5D22-4C21-9D9E-2B98B142948E}";
constexpr const char* kControlProgId = "KEPLINACTIVEX.KeplinActiveXCtrl.1";
constexpr const char* kControlClassName = "CKeplinActiveXCtrl";
constexpr const char* kPageClsid = "{3434346F-314F-4C50-9983-C482E9950E89}";
constexpr const char* kPageProgId = "KEPLINACTIVEX.KeplinActiveXPropPage.1";
#endif

// A string or bitmap of this module (found here before any other module).
std::string LoadModuleString(unsigned id);

// The type library's contents, for registration.
const platform::TypeLibInfo& TypeLib();

}  // namespace activex
