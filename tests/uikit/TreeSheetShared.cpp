#include "tests/uikit/TreeSheetTest.h"

#include "framework/win/WinApp.h"

BEGIN_MESSAGE_MAP(CTitledPage, CPropertyPage)
ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
ON_MESSAGE(WM_HELP, OnHelp)
END_MESSAGE_MAP()

std::wstring DumpTree(const CTreeCtrl& tree, HTREEITEM first) {
  std::wstring out;
  for (HTREEITEM item = first; item; item = tree.GetNextSiblingItem(item)) {
    if (!out.empty()) out += L" ";
    out += static_cast<LPCWSTR>(tree.GetItemText(item));
    out += L"[" + std::to_wstring(static_cast<int>(tree.GetItemData(item))) + L"]";
    if (HTREEITEM child = tree.GetChildItem(item)) out += L"(" + DumpTree(tree, child) + L")";
  }
  return out;
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

namespace {
struct Init {
  Init() { AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL); }
} g_init;
}  // namespace
