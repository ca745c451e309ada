// The Options command's tree property sheet and its three pages: FreeDB (index 0),
// Output (1) and Encoder (2). The pages edit the process-wide settings directly in
// OnApply; the settings file is written only at exit.
#pragma once

#include <atomic>

#include "framework/win/AllControls.h"
#include "uikit/ResizablePage.h"
#include "uikit/TreePropSheetEx.h"
#include "uikit/WhiteBackgroundProvider.h"

// What the three pages share: colours on a white frame, no Help button, the page index
// kept in MISC LastPage when shown, and no apply while a disc refresh runs.
class COptionsPage : public CResizablePage, public TreePropSheet::CWhiteBackgroundProvider {
 public:
  COptionsPage(UINT templateId, unsigned short pageIndex);

  BOOL OnSetActive() override;

 protected:
  // FALSE while a disc refresh runs: OnApply then writes nothing and keeps the sheet open.
  static BOOL MayApply();
  // The Browse buttons: the shell's folder browser rooted at the desktop, preselecting
  // current when that folder exists. TRUE with chosen filled when the user confirmed.
  BOOL BrowseForFolder(LPCWSTR title, const CString& current, CString& chosen);

  HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  void OnControlChanged();  // SetModified
  DECLARE_MESSAGE_MAP()

  const unsigned short m_pageIndex;
};

// Where album information comes from and where the local cache lives.
class CFreeDBOptionDlg : public COptionsPage {
 public:
  CFreeDBOptionDlg();

  BOOL OnApply() override;

  CString m_strLocalFolder;  // the path box
  int m_nSource = -1;        // checked source radio: 0 both, 1 remote only, 2 local only

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnSourceBoth();
  void OnSourceRemote();
  void OnSourceLocal();
  void OnBrowse();
  void OnLoadAlbumInfo();
  // SetModified; the source radios follow the Load check box.
  void UpdateSourceRadios();
  DECLARE_MESSAGE_MAP()
};

class CEncoderOption;

// Where ripped files go and how they are named; Reset restores the defaults of every
// output and encoder setting.
class COutputOptions : public COptionsPage {
 public:
  COutputOptions();
  ~COutputOptions() override;

  BOOL OnApply() override;
  // Writes the defaults and has this page and the Encoder page reload their controls.
  void ResetOutputOptions();
  // Runs ResetOutputOptions; pParam is the page.
  static UINT ResetOutputOptionsThread(LPVOID pParam);
  // Returns once no reset thread touches this page or the Encoder page any more,
  // handling the messages they send meanwhile.
  void WaitForResets();

  CComboBox m_styleList;
  CString m_strDelimiter;  // sanitised, at most 3 characters
  CEncoderOption* m_pEncoderPage = nullptr;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnBrowse();
  void OnStyleChange();
  void OnDelimiterChange();
  // The Reset button. Not OnReset: that is the page's virtual the sheet calls on Cancel.
  void OnResetButton();
  void OnDestroy();
  // Tells the user that a refresh kept Reset from writing anything.
  LRESULT OnResetRefused(WPARAM, LPARAM);
  // The 13 style captions in the current delimiter, the stored style selected.
  void FillStyleList();
  void ShowPreview();
  // The delimiter box's text, sanitised.
  CString ReadDelimiter() const;
  DECLARE_MESSAGE_MAP()

  // Reset threads that may still touch this page or the Encoder page.
  std::atomic<int> m_nResetsRunning{0};
};

// The Output page's sample file name for a style (nothing for none), in the delimiter,
// with the extension of format.
CString FormatStylePreview(int style, const CString& delimiter, short format);

// The output format and that format's parameters.
class CEncoderOption : public COptionsPage {
 public:
  CEncoderOption();

  BOOL OnApply() override;
  // The three parameter lists for the format chosen on the page, from the stored values.
  void FillFormatLists();

  CComboBox m_formatList;
  CComboBox m_list1;
  CComboBox m_list2;
  CComboBox m_list3;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnFormatChange();
  DECLARE_MESSAGE_MAP()
};

// The sheet as the Options command builds it; the pages live as long as the sheet.
class COptionsSheet {
 public:
  explicit COptionsSheet(CWnd* parent);
  ~COptionsSheet();
  COptionsSheet(const COptionsSheet&) = delete;
  COptionsSheet& operator=(const COptionsSheet&) = delete;

  TreePropSheet::CTreePropSheetEx m_sheet;
  COutputOptions m_output;
  CEncoderOption m_encoder;
  CFreeDBOptionDlg m_freeDB;
};

// Runs the sheet modally over parent (the main window). The caller refreshes whatever
// shows the settings afterwards, whatever the result.
INT_PTR ShowOptionsSheet(CWnd* parent);
