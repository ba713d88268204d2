// CSetupWizardDlg: the wizard's one main window (dialog template 102). A
// skinned dialog whose pages are image items in the 45 slots of CNewDialog:
// page 0 welcome and language choice, pages 1 to 3 what the box holds and
// what to prepare, page 4 the installation, page 5 the embedded device search.
// A frame of permanent items (banner, logo, title, the bottom buttons,
// Previous and Next) surrounds the pages.
//
// Every visible text is looked up in the chosen language file each time an
// item is built. Use on the user-interface thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>

#include <wx/iconbndl.h>
#include <wx/timer.h>

#include "searchui/langtext.h"
#include "skin/Lumora.h"

class wxChoice;
class CDocViewerDlg;
struct ItemRow;

class CSetupWizardDlg : public CNewDialog {
 public:
  enum : int { IDD = 102, IDC_LANGUAGE = 1001, IDM_ABOUTBOX = 16 };
  enum : unsigned { kIdStart = 30, kIdPrevious = 31, kIdNext = 32 };
  static constexpr int kInstallTimer = 1;
  static constexpr int kInstallTimerMs = 3000;

  // Starts the installation of page 4 for the wizard's folder and returns at
  // once (the installation worker on a thread of its own by default).
  using InstallStarter = std::function<void(const std::string& module_dir)>;

  // `module_dir` is the wizard's folder, ending with '/': the language files,
  // the kit's documents and, when the current directory has none, the list of
  // languages are looked for there. Empty: the running program's folder.
  explicit CSetupWizardDlg(const std::string& module_dir = std::string());
  ~CSetupWizardDlg() override;

  // Makes the window hidden and runs OnInitDialog; false when it cannot be made.
  bool Create();
  // Creates the window when needed and runs it modally.
  int DoModal();

  void DoMsgId(unsigned id) override;
  // Escape and Return never end the wizard (Return would end it mid-install).
  bool PreTranslateMessage(const wxKeyEvent& event) override;

  void LoadLanguageList();
  void OnSelchangeLanguage();
  void OnSysCommand(unsigned id);
  void OnTimer(int id);
  void OnNext();
  void OnPrevious();
  void HandleMenuId(unsigned id);
  void OpenDocument(const std::string& path);
  void ClearSlots(int from);

  void SetInstallStarter(InstallStarter starter) { m_installStarter = std::move(starter); }

  // Read access for the program and for tests.
  int GetPage() const { return m_nPage; }
  int GetLang() const { return m_nLang; }
  const CLangText& GetLangText() const { return m_langText; }
  CButtonRect* GetSlot(int slot) const { return m_pButtonRect[slot]; }
  wxChoice* GetLanguageBox() const { return m_cbLanguage; }
  // Selects entry `index` of the language box as the user would and handles
  // the change; false when there is no such entry.
  bool SelectLanguage(int index);
  // The items that open the documents, the reader installer and the about box,
  // also offered by the window's context menu.
  static constexpr int kFirstDocumentSlot = 30;

 private:
  bool OnInitDialog();
  void BindEvents();
  void ShowContextMenu(const wxPoint& where);

  // Page builders.
  void BuildStartPage();
  void BuildStartLines(bool seven_lines);
  void BuildStartHeader();
  void CreateFrameItems();
  void RetextFrameItems();
  void BuildFrameButtons(bool with_alignment);
  void BuildDocumentItems();
  void BuildLeftColumn(int current_step, int divider_top, int divider_bottom);
  void BuildPage1();
  void BuildPage2();
  void BuildPage3();
  void BuildInstallPage();
  void BuildSearchPage();
  void EmbedSearch();
  void ShowPreviousNext(bool show);
  void RefreshPageItems();
  void ShowAbout();

  // Item helpers.
  void BuildRows(const ItemRow* rows, std::size_t count);
  CButtonRect* NewItem(int slot, int left, int top, int right, int bottom, unsigned id = 0,
                       unsigned long colour = 0);
  void SetText(CButtonRect* item, const char* key, unsigned bitmap);
  void SetPicture(CButtonRect* item, unsigned bitmap);
  CButtonRect* StepItem(int slot, int step, bool current);
  std::string Text(const char* key) const { return m_langText.GetText(key); }
  std::string SelectedLanguageFile() const;

  wxChoice* m_cbLanguage = nullptr;
  int m_nLang = 0;
  CLangText m_langText;
  int m_nPage = 0;
  std::unordered_map<std::string, std::string> m_langMap;
  wxIconBundle m_hIcon;
  wxTimer m_timer;
  InstallStarter m_installStarter;
};
