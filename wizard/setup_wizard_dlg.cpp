#include "wizard/setup_wizard_dlg.h"

#include <wx/choice.h>
#include <wx/menu.h>

#include <algorithm>
#include <iterator>

#include "platform/dlgtemplate.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "searchui/keplinlib.h"
#include "wizard/about_dlg.h"
#include "wizard/doc_viewer.h"
#include "wizard/documents.h"
#include "wizard/install_worker.h"
#include "wizard/language_list.h"
#include "wizard/wizard_resources.h"

// An item of a page table: its slot and rectangle, id and colour, the setters
// called on it (-1: not called) and its text key on a bitmap (no key: a
// picture).
struct ItemRow {
  int slot;
  int left, top, right, bottom;
  unsigned id;
  unsigned long colour;
  int alignment;
  int font_enabled;
  int font_size;
  const char* key;
  unsigned bitmap;
};

namespace {

constexpr unsigned long Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

constexpr unsigned long kBlue = Rgb(16, 168, 233);
constexpr unsigned long kWhite = Rgb(255, 255, 255);
constexpr unsigned long kLightBlue = Rgb(100, 100, 255);

constexpr int kPageSlots = 25;  // slots 0 to 24 hold the pages' items
constexpr int kSlotAbout = 25;
constexpr int kSlotExit = 26;
constexpr int kSlotBanner = 27;
constexpr int kSlotLogo = 28;
constexpr int kSlotTitle = 29;
constexpr int kSlotPrevious = 36;
constexpr int kSlotNext = 37;

// Bitmaps of the items.
enum : unsigned {
  kBmpBottomButton = 129,
  kBmpBanner = 131,
  kBmpNext = 133,
  kBmpPrevious = 135,
  kBmpLogo = 141,
  kBmpText = 142,
  kBmpColumn = 143,
  kBmpWelcomeChinese = 165,
  kBmpWelcomeEnglish = 167,
};

// Page 0's six text lines; the seven-line layout is the English one.
const ItemRow kStartLines[] = {
    {4, 260, 250, 820, 285, 0, 0, 0, -1, 9, "#0044", kBmpText},
    {5, 260, 285, 820, 315, 0, 0, 0, -1, 9, "#0045", kBmpText},
    {6, 260, 315, 820, 362, 0, 0, 0, -1, 9, "#0046", kBmpText},
    {7, 260, 362, 820, 415, 0, 0, 0, -1, 9, "#0047", kBmpText},
    {8, 260, 415, 820, 470, 0, 0, 0, -1, 9, "#0048", kBmpText},
    {9, 260, 470, 820, 500, 0, 0, 0, -1, 9, "#0049", kBmpText},
};
const ItemRow kStartLinesSeven[] = {
    {4, 260, 250, 800, 290, 0, 0, 0, -1, 9, "#0044", kBmpText},
    {5, 260, 290, 800, 330, 0, 0, 0, -1, 9, "#0045", kBmpText},
    {6, 260, 330, 800, 380, 0, 0, 0, -1, 9, "#0046", kBmpText},
    {7, 260, 380, 800, 440, 0, 0, 0, -1, 9, "#0047", kBmpText},
    {8, 260, 440, 800, 470, 0, 0, 0, -1, 9, "#0048", kBmpText},
    {9, 260, 470, 800, 500, 0, 0, 0, -1, 9, "#00491", kBmpText},
    {10, 260, 502, 800, 540, 0, 0, 0, -1, 9, "#00492", kBmpText},
};

// Page 1: what the box holds.
const ItemRow kPage1[] = {
    {7, 220, 80, 320, 120, 0, 0, 0, -1, 12, "#0024", kBmpText},
    {8, 220, 150, 350, 200, 0, kLightBlue, 0, 1, 12, "#0016", kBmpText},
    {9, 220, 350, 320, 400, 0, kLightBlue, 0, 1, 12, "#0017", kBmpText},
    {10, 350, 100, 500, 250, 0, 0, -1, -1, -1, nullptr, 139},
    {11, 350, 252, 500, 300, 0, 0, 0, -1, -1, "#0031", kBmpText},
    {12, 510, 100, 660, 250, 0, 0, -1, -1, -1, nullptr, 140},
    {13, 510, 252, 660, 300, 0, 0, 0, -1, -1, "#0032", kBmpText},
    {14, 670, 100, 820, 250, 0, 0, -1, -1, -1, nullptr, 147},
    {15, 670, 252, 820, 300, 0, 0, 0, -1, -1, "#0033", kBmpText},
    {16, 350, 320, 500, 470, 0, 0, -1, -1, -1, nullptr, 137},
    {17, 350, 470, 510, 520, 0, 0, 0, -1, -1, "#0034", kBmpText},
    {18, 670, 320, 820, 470, 0, 0, -1, -1, -1, nullptr, 138},
    {19, 670, 470, 820, 520, 0, 0, 0, -1, -1, "#0035", kBmpText},
    {20, 220, 525, 820, 550, 0, 0, 0, -1, 12, "#0062", kBmpText},
};

// Page 2: what to prepare (slot 7, its heading, is made separately).
const ItemRow kPage2[] = {
    {8, 220, 150, 350, 200, 0, kLightBlue, 0, -1, 12, "#0016", kBmpText},
    {9, 220, 350, 320, 400, 0, kLightBlue, 0, -1, 12, "#0017", kBmpText},
    {10, 350, 85, 500, 235, 0, 0, -1, -1, -1, nullptr, 148},
    {11, 350, 235, 500, 300, 0, 0, 0, -1, -1, "#0036", kBmpText},
    {12, 510, 85, 660, 235, 0, 0, -1, -1, -1, nullptr, 149},
    {13, 510, 235, 660, 300, 0, 0, 0, -1, -1, "#0037", kBmpText},
    {14, 670, 85, 820, 235, 0, 0, -1, -1, -1, nullptr, 150},
    {15, 670, 235, 820, 310, 0, 0, 0, -1, -1, "#0038", kBmpText},
    {16, 350, 320, 500, 460, 0, 0, -1, -1, -1, nullptr, 151},
    {17, 350, 460, 500, 520, 0, 0, 0, -1, -1, "#0039", kBmpText},
    {18, 510, 320, 660, 460, 0, 0, -1, -1, -1, nullptr, 152},
    {19, 510, 460, 660, 520, 0, 0, 0, -1, -1, "#0040", kBmpText},
    {20, 670, 320, 820, 460, 0, 0, -1, -1, -1, nullptr, 153},
    {21, 670, 460, 820, 530, 0, 0, 0, -1, -1, "#0041", kBmpText},
};

// Page 3: the network to prepare (slot 7, its heading, is made separately; the
// notes depend on the language).
const ItemRow kPage3[] = {
    {8, 350, 150, 550, 350, 0, 0, -1, -1, -1, nullptr, 158},
    {9, 620, 150, 820, 350, 0, 0, -1, -1, -1, nullptr, 157},
    {10, 350, 380, 850, 415, 0, 0, 0, -1, 10, "#0050", kBmpText},
};
const ItemRow kPage3Notes[] = {
    {11, 350, 415, 850, 500, 0, 0, 0, -1, 10, "#0051", kBmpText},
};
const ItemRow kPage3NotesEnglish[] = {
    {11, 350, 420, 850, 455, 0, 0, 0, -1, 10, "#00511", kBmpText},
    {12, 350, 455, 850, 520, 0, 0, 0, -1, 10, "#00512", kBmpText},
};

// The items that open the kit's documents, the PDF reader installer and the
// about box sit in the bottom band beside About and Exit, in slots the pages
// never use; their texts come from the language file.
struct DocumentItem {
  unsigned id;
  const char* key;
};
const DocumentItem kDocumentItems[] = {
    {wizard::kIdQuickGuide, "#0110"},  {wizard::kIdUserManual, "#0111"},      {wizard::kIdFaq, "#0112"},
    {wizard::kIdSupport, "#0113"},     {wizard::kIdCentralControl, "#0114"}, {wizard::kIdReaderInstaller, "#0115"},
};
constexpr int kDocumentItemWidth = 118;

// The about command of the system menu, string resource 101.
constexpr const char* kAboutMenuText = "关于 TavrinSetup(&A)...";

const char* const kStepKeys[] = {"#0021", "#0022", "#0023"};
constexpr int kStepTop = 60;
constexpr int kStepHeight = 60;
constexpr int kColumnWidth = 193;

// Template 102: 619 x 428 dialog units in the design's 9-point font, whose
// 6 x 12 cell on the system it was made for gives the client area the pages
// were laid out in (928 x 642 pixels).
const platform::DialogTemplate kWizardTemplate = {
    CSetupWizardDlg::IDD,
    619,
    428,
    "宋体",
    9,
    {{CSetupWizardDlg::IDC_LANGUAGE, platform::ControlKind::DropList, 45, 124, 57, 78, 0, ""}},
};

platform::DialogUnits DesignCell() {
  platform::DialogUnits units;
  units.base_x = 6;
  units.base_y = 12;
  return units;
}

}  // namespace

CSetupWizardDlg::CSetupWizardDlg(const std::string& module_dir)
    : CNewDialog(IDD, nullptr), m_timer(this, kInstallTimer) {
  if (!module_dir.empty()) m_langText.m_dir = module_dir;
  m_hIcon = wizard::ApplicationIcon();
  m_installStarter = [](const std::string& dir) { wizard::StartInstallWorker(dir); };
}

CSetupWizardDlg::~CSetupWizardDlg() { m_timer.Stop(); }

bool CSetupWizardDlg::Create() {
  if (GetHandle()) return true;
  platform::RegisterDialogTemplate(&kWizardTemplate);
  const platform::DialogUnits cell = DesignCell();
  if (!wxDialog::Create(nullptr, wxID_ANY, wxString::FromUTF8("Oskaro网络摄像机设置向导"), wxDefaultPosition,
                        wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX))
    return false;
  SetFont(platform::TemplateFont(kWizardTemplate));
  SetClientSize(cell.Size(kWizardTemplate));
  const platform::TemplateControl& combo = kWizardTemplate.controls.front();
  const wxRect box = cell.ToPixels(combo.x, combo.y, combo.cx, combo.cy);
  m_cbLanguage = new wxChoice(this, IDC_LANGUAGE, box.GetPosition(), wxSize(box.width, -1));
  RouteSkinEvents();
  BindEvents();
  return OnInitDialog();
}

int CSetupWizardDlg::DoModal() {
  if (!Create()) return -1;
  Centre();
  return ShowModal();
}

void CSetupWizardDlg::BindEvents() {
  Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnSelchangeLanguage(); }, IDC_LANGUAGE);
  // The combo box keeps its template place: a dialog would stretch its only
  // child over the whole client area.
  Bind(wxEVT_SIZE, [](wxSizeEvent&) {});
  Bind(wxEVT_TIMER, [this](wxTimerEvent& event) { OnTimer(event.GetId()); }, kInstallTimer);
  Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent& event) { ShowContextMenu(event.GetPosition()); });
  Bind(wxEVT_MENU, [this](wxCommandEvent& event) {
    const unsigned id = static_cast<unsigned>(event.GetId());
    if (id == IDM_ABOUTBOX)
      OnSysCommand(id);
    else if (id >= wizard::kIdFaq && id <= wizard::kIdReaderInstaller)
      DoMsgId(id);
    else
      event.Skip();
  });
}

bool CSetupWizardDlg::OnInitDialog() {
  SetIcons(m_hIcon);
  LoadLanguageList();
  BuildStartPage();
  CreateFrameItems();
  return true;
}

// ---------------------------------------------------------------------------
// Languages

void CSetupWizardDlg::LoadLanguageList() {
  std::FILE* file = wizard::OpenLanguageList(m_langText.m_dir);
  if (!file) return;
  const auto entries = wizard::ReadLanguageList(file);
  std::fclose(file);
  if (!entries) return;

  m_cbLanguage->Clear();
  for (const wizard::LanguageEntry& entry : *entries) {
    m_langMap[entry.first] = entry.second;
    m_cbLanguage->Append(wxString::FromUTF8(entry.first));
  }
  if (m_cbLanguage->GetCount() == 0) return;
  m_cbLanguage->SetSelection(0);
  m_langText.SetLangFile(SelectedLanguageFile());
}

std::string CSetupWizardDlg::SelectedLanguageFile() const {
  const int index = m_cbLanguage->GetSelection();
  if (index < 0) return std::string();
  const auto found = m_langMap.find(std::string(m_cbLanguage->GetString(index).utf8_str()));
  return found == m_langMap.end() ? std::string() : found->second;
}

bool CSetupWizardDlg::SelectLanguage(int index) {
  if (index < 0 || index >= static_cast<int>(m_cbLanguage->GetCount())) return false;
  m_cbLanguage->SetSelection(index);
  OnSelchangeLanguage();
  return true;
}

void CSetupWizardDlg::OnSelchangeLanguage() {
  if (m_nPage != 0) return;
  m_nLang = m_cbLanguage->GetSelection();
  if (m_nLang < 0) return;
  m_langText.SetLangFile(SelectedLanguageFile());

  RefreshPageItems();
  RetextFrameItems();
  if (m_pButtonRect[0]) m_pButtonRect[0]->SetWindowTextO(Text("#0012").c_str(), 0);
  BuildStartHeader();
  BuildStartLines(m_nLang == 2);
  if (m_pButtonRect[11]) SetText(m_pButtonRect[11], "#0009", kBmpNext);
  SetTitle(wxString::FromUTF8(Text("#0010")));
  BuildFrameButtons(false);
  Refresh();
}

// ---------------------------------------------------------------------------
// Items

CButtonRect* CSetupWizardDlg::NewItem(int slot, int left, int top, int right, int bottom, unsigned id,
                                      unsigned long colour) {
  if (CButtonRect* old = m_pButtonRect[slot]) {
    const SkinRect r = old->GetRect();
    m_pButtonRect[slot] = nullptr;
    delete old;
    RefreshRect(wxRect(r.left, r.top, r.Width(), r.Height()));
  }
  m_pButtonRect[slot] = new CButtonRect(left, top, right, bottom, this, id, colour);
  return m_pButtonRect[slot];
}

void CSetupWizardDlg::SetText(CButtonRect* item, const char* key, unsigned bitmap) {
  item->DrawBkTips(bitmap, Text(key).c_str(), 0, 1);
}

void CSetupWizardDlg::SetPicture(CButtonRect* item, unsigned bitmap) { item->DrawBkTips(bitmap, "", 0, 1); }

void CSetupWizardDlg::BuildRows(const ItemRow* rows, std::size_t count) {
  for (const ItemRow* row = rows; row != rows + count; ++row) {
    CButtonRect* item = NewItem(row->slot, row->left, row->top, row->right, row->bottom, row->id, row->colour);
    if (row->font_enabled >= 0) item->EnableFont(row->font_enabled);
    if (row->alignment >= 0) item->SetAlignment(row->alignment);
    if (row->font_size >= 0) item->SetFont(row->font_size);
    if (row->key)
      SetText(item, row->key, row->bitmap);
    else
      SetPicture(item, row->bitmap);
  }
}

// ---------------------------------------------------------------------------
// Frame

void CSetupWizardDlg::CreateFrameItems() {
  const wxSize client = GetClientSize();
  const int w = client.x;
  const int h = client.y;
  SetText(NewItem(kSlotAbout, w / 2 - 100, h - 31, w / 2, h - 1, wizard::kIdAbout), "#0007", kBmpBottomButton);
  SetText(NewItem(kSlotExit, w / 2, h - 31, w / 2 + 100, h - 1, wizard::kIdExit), "#0008", kBmpBottomButton);
  SetPicture(NewItem(kSlotBanner, 200, 0, w - 190, 60), kBmpBanner);
  SetPicture(NewItem(kSlotLogo, 0, 0, 200, 60), kBmpLogo);
  CButtonRect* title = NewItem(kSlotTitle, w - 200, 0, w, 60, 0, kWhite);
  title->SetFont(m_nLang == 1 ? 22 : 14);
  SetText(title, "#0015", kBmpBanner);
  BuildFrameButtons(true);
  BuildDocumentItems();
}

void CSetupWizardDlg::BuildFrameButtons(bool with_alignment) {
  const wxSize client = GetClientSize();
  CButtonRect* previous = NewItem(kSlotPrevious, 220, client.y - 90, 340, client.y - 65, kIdPrevious, kWhite);
  previous->ShowEnable(false);
  if (with_alignment) previous->SetAlignment(4);
  previous->EnableFont(1);
  SetText(previous, "#0013", kBmpPrevious);
  CButtonRect* next =
      NewItem(kSlotNext, client.x - 170, client.y - 90, client.x - 50, client.y - 65, kIdNext, kWhite);
  next->ShowEnable(false);
  if (with_alignment) next->SetAlignment(1);
  next->EnableFont(1);
  SetText(next, "#0014", kBmpNext);
}

void CSetupWizardDlg::BuildDocumentItems() {
  const wxSize client = GetClientSize();
  const int top = client.y - 31;
  const int bottom = client.y - 1;
  // Three items left of About, three right of Exit.
  for (int i = 0; i < 6; ++i) {
    const int left = i < 3 ? client.x / 2 - 100 - (3 - i) * (kDocumentItemWidth + 2)
                           : client.x / 2 + 100 + 2 + (i - 3) * (kDocumentItemWidth + 2);
    CButtonRect* item =
        NewItem(kFirstDocumentSlot + i, left, top, left + kDocumentItemWidth, bottom, kDocumentItems[i].id);
    SetText(item, kDocumentItems[i].key, kBmpBottomButton);
  }
}

void CSetupWizardDlg::RetextFrameItems() {
  const wxSize client = GetClientSize();
  const int w = client.x;
  const int h = client.y;
  SetText(NewItem(kSlotAbout, w / 2 - 100, h - 31, w / 2, h - 1, wizard::kIdAbout), "#0007", kBmpBottomButton);
  SetText(NewItem(kSlotExit, w / 2, h - 31, w / 2 + 100, h - 1, wizard::kIdExit), "#0008", kBmpBottomButton);
  if (m_pButtonRect[kSlotBanner]) SetPicture(m_pButtonRect[kSlotBanner], kBmpBanner);
  if (m_pButtonRect[kSlotLogo]) SetPicture(m_pButtonRect[kSlotLogo], kBmpLogo);
  if (m_pButtonRect[kSlotTitle]) SetText(m_pButtonRect[kSlotTitle], "#0015", kBmpBanner);
  BuildDocumentItems();
}

// ---------------------------------------------------------------------------
// Pages

void CSetupWizardDlg::BuildStartHeader() {
  const wxSize client = GetClientSize();
  CButtonRect* heading = NewItem(1, 30, 60, client.x - 300, 100, 0, kBlue);
  heading->SetAlignment(0);
  heading->EnableFont(1);
  heading->SetFont(22);
  SetText(heading, "#0060", kBmpText);
  CButtonRect* sub = NewItem(2, 30, 100, client.x - 50, 120);
  sub->SetAlignment(0);
  sub->SetFont(10);
  SetText(sub, "#0061", kBmpText);
  SetPicture(NewItem(3, 260, 130, 560, 250), m_nLang == 2 ? kBmpWelcomeEnglish : kBmpWelcomeChinese);
}

void CSetupWizardDlg::BuildStartLines(bool seven_lines) {
  if (seven_lines) {
    BuildRows(kStartLinesSeven, std::size(kStartLinesSeven));
  } else {
    BuildRows(kStartLines, std::size(kStartLines));
    if (m_pButtonRect[10]) m_pButtonRect[10]->ShowEnable(false);
  }
}

void CSetupWizardDlg::BuildStartPage() {
  m_cbLanguage->Show();
  m_nPage = 0;
  NewItem(0, 22, 165, 58, 180)->SetWindowTextO(Text("#0012").c_str(), 0);
  BuildStartHeader();
  BuildStartLines(false);
  CButtonRect* start = NewItem(11, 80, 230, 180, 255, kIdStart, kWhite);
  start->EnableFont(1);
  SetText(start, "#0009", kBmpNext);
}

CButtonRect* CSetupWizardDlg::StepItem(int slot, int step, bool current) {
  const int top = kStepTop + step * kStepHeight;
  CButtonRect* item = NewItem(slot, 0, top, kColumnWidth, top + kStepHeight, 0, current ? kBlue : 0);
  if (current) {
    item->SetFont(m_nLang == 1 ? 15 : 20);
    SetText(item, kStepKeys[step], kBmpText);
  } else {
    SetText(item, kStepKeys[step], kBmpColumn);
  }
  return item;
}

void CSetupWizardDlg::BuildLeftColumn(int current_step, int divider_top, int divider_bottom) {
  SetPicture(NewItem(0, 190, divider_top, kColumnWidth, divider_bottom), kBmpColumn);
  for (int step = 0; step < 3; ++step) StepItem(1 + step, step, step == current_step);
}

void CSetupWizardDlg::BuildPage1() {
  m_cbLanguage->Hide();
  m_nPage = 1;
  if (!m_pButtonRect[0]) {
    BuildLeftColumn(0, 240, GetClientSize().y - 30);
    SetPicture(NewItem(4, 0, 240, kColumnWidth, 243), kBmpColumn);
    ShowPreviousNext(true);
  }
  BuildRows(kPage1, std::size(kPage1));
}

void CSetupWizardDlg::BuildPage2() {
  m_cbLanguage->Hide();
  m_nPage = 2;
  CButtonRect* heading = m_pButtonRect[7] ? m_pButtonRect[7] : NewItem(7, 220, 80, 320, 140);
  heading->SetFont(12);
  heading->SetAlignment(0);
  SetText(heading, "#0025", kBmpText);
  BuildRows(kPage2, std::size(kPage2));
}

void CSetupWizardDlg::BuildPage3() {
  m_cbLanguage->Hide();
  m_nPage = 3;
  CButtonRect* heading = m_pButtonRect[7] ? m_pButtonRect[7] : NewItem(7, 220, 80, GetClientSize().x, 110);
  heading->SetFont(12);
  SetText(heading, "#0026", kBmpText);
  BuildRows(kPage3, std::size(kPage3));
  if (m_langText.m_file == "lang_en.ini")
    BuildRows(kPage3NotesEnglish, std::size(kPage3NotesEnglish));
  else
    BuildRows(kPage3Notes, std::size(kPage3Notes));
}

void CSetupWizardDlg::BuildInstallPage() {
  m_cbLanguage->Hide();
  m_nPage = 4;
  const wxSize client = GetClientSize();
  if (m_pButtonRect[0]) {
    SetPicture(m_pButtonRect[0], kBmpColumn);
    StepItem(1, 0, false);
    StepItem(2, 1, true);
    if (m_pButtonRect[3]) SetText(m_pButtonRect[3], kStepKeys[2], kBmpColumn);
  } else {
    BuildLeftColumn(1, 160, client.y - 68);
  }
  SetText(NewItem(7, 320, 100, client.x - 220, client.y - 150), "#0042", kBmpText);
  ShowPreviousNext(false);
  Refresh();
  m_installStarter(m_langText.m_dir);
  m_timer.Start(kInstallTimerMs);
}

void CSetupWizardDlg::BuildSearchPage() {
  m_cbLanguage->Hide();
  m_nPage = 5;
  const wxSize client = GetClientSize();
  if (m_pButtonRect[0]) {
    SetPicture(m_pButtonRect[0], kBmpColumn);
    if (m_pButtonRect[1]) SetText(m_pButtonRect[1], kStepKeys[0], kBmpColumn);
    StepItem(2, 1, false);
    StepItem(3, 2, true);
  } else {
    BuildLeftColumn(2, 220, client.y - 68);
  }
  EmbedSearch();
}

void CSetupWizardDlg::EmbedSearch() {
  const std::string file = m_langText.m_file;
  const wxSize client = GetClientSize();
  const KeplinRect rect{193, 60, client.x, client.y - 30};
  if (file == "lang_en.ini")
    ShowSearchEnDlg(this, rect, file.c_str());
  else
    ShowSearchDlg(this, rect, file.c_str());
}

void CSetupWizardDlg::ShowPreviousNext(bool show) {
  for (int slot : {kSlotPrevious, kSlotNext})
    if (CButtonRect* item = m_pButtonRect[slot]) {
      item->ShowEnable(show);
      const SkinRect& r = item->GetRect();
      RefreshRect(wxRect(r.left, r.top, r.Width(), r.Height()));
    }
}

void CSetupWizardDlg::RefreshPageItems() {
  for (int slot = 0; slot < kPageSlots; ++slot)
    if (const CButtonRect* item = m_pButtonRect[slot]) {
      const SkinRect& r = item->GetRect();
      RefreshRect(wxRect(r.left, r.top, r.Width(), r.Height()));
    }
}

void CSetupWizardDlg::ClearSlots(int from) {
  SkinRect cleared;
  bool any = false;
  for (int slot = std::max(from, 0); slot < kPageSlots; ++slot) {
    CButtonRect* item = m_pButtonRect[slot];
    if (!item) continue;
    item->ShowEnable(false);
    const SkinRect r = item->GetRect();
    const SkinRect label = item->GetLabelRect();
    m_pButtonRect[slot] = nullptr;
    delete item;
    for (const SkinRect& part : {r, label}) {
      if (part.Width() <= 0 || part.Height() <= 0) continue;
      if (!any) {
        cleared = part;
        any = true;
      }
      cleared.left = std::min(cleared.left, part.left);
      cleared.top = std::min(cleared.top, part.top);
      cleared.right = std::max(cleared.right, part.right);
      cleared.bottom = std::max(cleared.bottom, part.bottom);
    }
  }
  if (any) RefreshRect(wxRect(cleared.left, cleared.top, cleared.Width(), cleared.Height()));
}

// ---------------------------------------------------------------------------
// Page flow

void CSetupWizardDlg::OnNext() {
  switch (m_nPage) {
    case 1:
      if (m_pButtonRect[7]) m_pButtonRect[7]->ShowEnable(false);
      ClearSlots(7);
      BuildPage2();
      break;
    case 2:
      ClearSlots(7);
      BuildPage3();
      break;
    case 3:
      ClearSlots(7);
      BuildInstallPage();
      break;
    case 4:
      ShowPreviousNext(false);
      ClearSlots(5);
      BuildSearchPage();
      break;
    default:
      return;
  }
  RefreshPageItems();
}

void CSetupWizardDlg::OnPrevious() {
  switch (m_nPage) {
    case 1:
      ShowPreviousNext(false);
      ClearSlots(0);
      BuildStartPage();
      break;
    case 2:
      ClearSlots(7);
      BuildPage1();
      break;
    case 3:
      ClearSlots(7);
      BuildPage2();
      break;
    case 4:
      ClearSlots(7);
      BuildPage3();
      break;
    default:
      return;
  }
  RefreshPageItems();
}

void CSetupWizardDlg::OnTimer(int id) {
  if (id != kInstallTimer) return;
  m_timer.Stop();
  OnNext();
}

// ---------------------------------------------------------------------------
// Commands

void CSetupWizardDlg::DoMsgId(unsigned id) {
  if (id >= wizard::kIdFaq && id <= wizard::kIdNothing) {
    HandleMenuId(id);
  } else if (id == kIdStart) {
    ClearSlots(0);
    BuildPage1();
    Refresh();
  } else if (id == kIdPrevious) {
    OnPrevious();
  } else if (id == kIdNext) {
    OnNext();
  }
}

bool CSetupWizardDlg::PreTranslateMessage(const wxKeyEvent& event) {
  const int key = event.GetKeyCode();
  return key == WXK_ESCAPE || key == WXK_RETURN || key == WXK_NUMPAD_ENTER;
}

void CSetupWizardDlg::HandleMenuId(unsigned id) {
  m_nLang = m_cbLanguage->GetSelection();
  switch (id) {
    case wizard::kIdFaq:
    case wizard::kIdSupport:
    case wizard::kIdCentralControl:
    case wizard::kIdUserManual:
    case wizard::kIdQuickGuide:
      OpenDocument(wizard::DocumentPath(m_langText.m_dir, id, m_nLang));
      break;
    case wizard::kIdReaderInstaller: {
      const std::string installer = wizard::ReaderInstallerPath(m_langText.m_dir, m_nLang);
      if (platform::MessageBox(this, Text("#0063"), "AcrobatReader", platform::MB_YESNO) == platform::IDYES)
        platform::SpawnDetached({installer});
      break;
    }
    case wizard::kIdAbout:
      ShowAbout();
      break;
    case wizard::kIdExit:
      m_timer.Stop();
      CNewDialog::OnOK();
      break;
    default:
      break;
  }
}

void CSetupWizardDlg::OpenDocument(const std::string& path) {
  auto* viewer = new CDocViewerDlg;
  viewer->m_strAddress = path;
  if (!viewer->Create(this)) {
    delete viewer;
    return;
  }
  viewer->Show();
}

void CSetupWizardDlg::OnSysCommand(unsigned id) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) ShowAbout();
}

void CSetupWizardDlg::ShowAbout() {
  CAboutDlg about;
  about.m_langText.m_dir = m_langText.m_dir;
  about.m_langText.SetLangFile(SelectedLanguageFile());
  about.DoModal(this);
}

void CSetupWizardDlg::ShowContextMenu(const wxPoint& where) {
  // The desktop gives the window no system menu: its about command, and the
  // documents of the bottom band, are offered here instead.
  wxMenu menu;
  for (const DocumentItem& item : kDocumentItems)
    menu.Append(static_cast<int>(item.id), wxString::FromUTF8(Text(item.key)));
  menu.AppendSeparator();
  menu.Append(IDM_ABOUTBOX, wxString::FromUTF8(kAboutMenuText));
  PopupMenu(&menu, where == wxDefaultPosition ? wxDefaultPosition : ScreenToClient(where));
}
