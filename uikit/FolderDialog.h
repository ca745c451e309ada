// The shell's folder browser in the shape of a common dialog: construct, optionally set a
// root and a folder to preselect, DoModal, read the chosen path.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "framework/win/Dialog.h"

class CFolderDialog : public CCommonDialog {
 public:
  // flags: BIF_*. startFolder (may be null) becomes the folder preselected when the
  // browser opens.
  CFolderDialog(LPCWSTR title = nullptr, LPCWSTR startFolder = nullptr, CWnd* parent = nullptr,
                UINT flags = BIF_RETURNONLYFSDIRS);
  ~CFolderDialog() override;
  CFolderDialog(const CFolderDialog&) = delete;
  CFolderDialog& operator=(const CFolderDialog&) = delete;

  // IDOK with the chosen path, IDCANCEL, or -1 when the chosen item has no file-system
  // path (the chosen path is then unchanged).
  INT_PTR DoModal() override;

  void SetInitialSelection(LPCWSTR path);
  // Null: browse from the desktop. Otherwise the folder becomes the root; FALSE (and the
  // root unchanged) when the shell cannot parse the path.
  BOOL SetBrowseRoot(LPCWSTR path);
  CString GetChosenPath() const { return m_folderPath; }

  // The browser's window while a callback runs, else null.
  HWND GetBrowserWindow() const { return m_hBrowserWindow; }

  // An exception from a handler ends here, reported through
  // AfxReportSwallowedException.
  static int CALLBACK BrowserCallback(HWND hwnd, UINT message, LPARAM lParam,
                                      LPARAM object) noexcept;

 protected:
  virtual void OnBrowserReady();
  virtual void OnBrowserSelection(PCIDLIST_ABSOLUTE item);
  // Non-zero keeps the browser open.
  virtual int OnBadFolderName(LPCWSTR text);
  virtual void OnBrowserSite(IUnknown* site);

  // Only while the browser is open.
  void SelectInBrowser(LPCWSTR path);
  void SetBrowserStatus(LPCWSTR text);

  BROWSEINFOW m_browseInfo{};
  WCHAR m_selectFolder[MAX_PATH]{};
  WCHAR m_folderPath[MAX_PATH]{};
  HWND m_hBrowserWindow = nullptr;

 private:
  static void CALLBACK ReselectTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) noexcept;
  void NoteSelection(PCIDLIST_ABSOLUTE item);

  CString m_title;                // browseInfo points into it
  bool m_selectionShown = false;  // the browser reported the start folder as selected
  int m_reselectTries = 0;
};
