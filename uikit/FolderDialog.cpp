#include "uikit/FolderDialog.h"

#include <cwchar>
#include <exception>

namespace {

// A start folder the browser did not take at once is asked for again this often, this
// many times: on a busy machine the browser's tree may drop the first selection.
constexpr UINT kReselectMs = 200;
constexpr int kReselectTries = 50;
constexpr UINT_PTR kReselectTimerId = 0x5e1;
constexpr wchar_t kDialogProp[] = L"CorvaneFolderDialog";

// Paths longer than the buffers are cut, never written past them.
void CopyPath(WCHAR (&to)[MAX_PATH], LPCWSTR from) { ::lstrcpynW(to, from ? from : L"", MAX_PATH); }

// An exception cannot unwind through the shell's browser: it ends here, but not
// without a word.
void ReportSwallowed(UINT message, CException* e, LPCTSTR what) noexcept {
  wchar_t where[64];
  ::wsprintfW(where, L"Folder browser callback, message %u", message);
  AfxReportSwallowedException(where, e, what);
}

}  // namespace

CFolderDialog::CFolderDialog(LPCWSTR title, LPCWSTR startFolder, CWnd* parent, UINT flags)
    : CCommonDialog(parent), m_title(title ? title : L"") {
  m_browseInfo.hwndOwner = parent ? parent->GetSafeHwnd() : nullptr;
  m_browseInfo.pidlRoot = nullptr;
  m_browseInfo.pszDisplayName = new WCHAR[MAX_PATH]();
  m_browseInfo.lpszTitle = m_title;
  m_browseInfo.ulFlags = flags;
  m_browseInfo.lpfn = &BrowserCallback;
  m_browseInfo.lParam = reinterpret_cast<LPARAM>(this);
  m_browseInfo.iImage = 0;
  if (startFolder) CopyPath(m_selectFolder, startFolder);
}

CFolderDialog::~CFolderDialog() {
  delete[] m_browseInfo.pszDisplayName;
  if (m_browseInfo.pidlRoot) ::CoTaskMemFree(const_cast<LPITEMIDLIST>(m_browseInfo.pidlRoot));
  m_browseInfo = {};
}

void CFolderDialog::SetInitialSelection(LPCWSTR path) { CopyPath(m_selectFolder, path); }

BOOL CFolderDialog::SetBrowseRoot(LPCWSTR path) {
  if (!path) {
    if (m_browseInfo.pidlRoot) ::CoTaskMemFree(const_cast<LPITEMIDLIST>(m_browseInfo.pidlRoot));
    m_browseInfo.pidlRoot = nullptr;
    return TRUE;
  }
  IShellFolder* desktop = nullptr;
  if (FAILED(::SHGetDesktopFolder(&desktop)) || !desktop) return FALSE;
  // ParseDisplayName wants a writable string.
  CString name(path);
  LPITEMIDLIST pidl = nullptr;
  const HRESULT hr =
      desktop->ParseDisplayName(nullptr, nullptr, name.GetBuffer(), nullptr, &pidl, nullptr);
  name.ReleaseBuffer();
  desktop->Release();
  if (FAILED(hr) || !pidl) return FALSE;
  if (m_browseInfo.pidlRoot) ::CoTaskMemFree(const_cast<LPITEMIDLIST>(m_browseInfo.pidlRoot));
  m_browseInfo.pidlRoot = pidl;
  return TRUE;
}

INT_PTR CFolderDialog::DoModal() {
  m_browseInfo.hwndOwner = PreModal();
  // The shell writes the display name into this buffer; a fresh one per run.
  m_browseInfo.pszDisplayName[0] = L'\0';
  LPITEMIDLIST pidl = ::SHBrowseForFolderW(&m_browseInfo);
  if (!pidl) {
    PostModal();
    return IDCANCEL;
  }
  // Into a scratch buffer first: an item without a file-system path leaves the last
  // chosen path as it was.
  WCHAR path[MAX_PATH]{};
  const BOOL ok = ::SHGetPathFromIDListW(pidl, path);
  ::CoTaskMemFree(pidl);
  if (ok) CopyPath(m_folderPath, path);
  PostModal();
  return ok ? IDOK : -1;
}

int CALLBACK CFolderDialog::BrowserCallback(HWND hwnd, UINT message, LPARAM lParam,
                                            LPARAM object) noexcept {
  auto* dialog = reinterpret_cast<CFolderDialog*>(object);
  if (!dialog) return 0;
  int result = 0;
  // Selecting from a handler makes the browser call back at once (a selection change
  // inside the ready call): the inner call must leave the window to the outer one.
  const HWND outer = dialog->m_hBrowserWindow;
  dialog->m_hBrowserWindow = hwnd;
  try {
    switch (message) {
      case BFFM_INITIALIZED:
        dialog->OnBrowserReady();
        break;
      case BFFM_SELCHANGED:
        dialog->NoteSelection(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam));
        dialog->OnBrowserSelection(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam));
        break;
      case BFFM_VALIDATEFAILEDW:
        result = dialog->OnBadFolderName(reinterpret_cast<LPCWSTR>(lParam));
        break;
      case BFFM_IUNKNOWN:
        dialog->OnBrowserSite(reinterpret_cast<IUnknown*>(lParam));
        break;
      default:
        break;
    }
  } catch (CException* e) {
    ReportSwallowed(message, e, nullptr);
    e->Delete();
  } catch (const std::exception& e) {
    ReportSwallowed(message, nullptr, CString(e.what()));
  } catch (...) {
    ReportSwallowed(message, nullptr, nullptr);
  }
  dialog->m_hBrowserWindow = outer;
  return result;
}

void CFolderDialog::OnBrowserReady() {
  if (!m_selectFolder[0]) return;
  m_selectionShown = false;
  SelectInBrowser(m_selectFolder);
  // The selection reports itself at once when it takes; until it has, it is asked for
  // again from a timer of the browser's window, which ends with that window.
  if (m_selectionShown || !m_hBrowserWindow) return;
  m_reselectTries = 0;
  ::SetPropW(m_hBrowserWindow, kDialogProp, this);
  ::SetTimer(m_hBrowserWindow, kReselectTimerId, kReselectMs, &ReselectTimer);
}

void CFolderDialog::NoteSelection(PCIDLIST_ABSOLUTE item) {
  WCHAR path[MAX_PATH]{};
  if (!m_selectFolder[0] || !item || !::SHGetPathFromIDListW(item, path)) return;
  // "C:\Music\" and "C:\Music" are the same folder.
  const auto trimmed = [](CString text) {
    if (text.GetLength() > 3) text.TrimRight(L'\\');
    return text;
  };
  if (trimmed(path).CompareNoCase(trimmed(m_selectFolder)) == 0) m_selectionShown = true;
}

void CALLBACK CFolderDialog::ReselectTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) noexcept {
  auto* dialog = static_cast<CFolderDialog*>(::GetPropW(hwnd, kDialogProp));
  if (dialog && !dialog->m_selectionShown && ++dialog->m_reselectTries <= kReselectTries) {
    const HWND outer = dialog->m_hBrowserWindow;
    dialog->m_hBrowserWindow = hwnd;
    dialog->SelectInBrowser(dialog->m_selectFolder);
    dialog->m_hBrowserWindow = outer;
    return;
  }
  ::KillTimer(hwnd, id);
  ::RemovePropW(hwnd, kDialogProp);
}

void CFolderDialog::OnBrowserSelection(PCIDLIST_ABSOLUTE item) {
  if (!(m_browseInfo.ulFlags & BIF_STATUSTEXT) || !item) return;
  WCHAR path[MAX_PATH]{};
  if (::SHGetPathFromIDListW(item, path)) SetBrowserStatus(path);
}

int CFolderDialog::OnBadFolderName(LPCWSTR) {
  ::MessageBeep(MB_ICONHAND);
  return 1;
}

void CFolderDialog::OnBrowserSite(IUnknown*) {}

void CFolderDialog::SelectInBrowser(LPCWSTR path) {
  if (m_hBrowserWindow)
    ::SendMessageW(m_hBrowserWindow, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path));
}

void CFolderDialog::SetBrowserStatus(LPCWSTR text) {
  if (m_hBrowserWindow)
    ::SendMessageW(m_hBrowserWindow, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(text));
}
