// Command states for menu items and controls.
#include "framework/win/CmdUI.h"

#if __has_include("framework/win/Menu.h")
#include "framework/win/Menu.h"
#define CORVANE_HAVE_CMENU 1
#endif

CCmdUI::CCmdUI()
    : m_nID(0),
      m_nIndex(0),
      m_pMenu(nullptr),
      m_pSubMenu(nullptr),
      m_pOther(nullptr),
      m_bEnableChanged(FALSE),
      m_bContinueRouting(FALSE),
      m_nIndexMax(0) {}

HMENU CCmdUI::MenuHandle() const {
#ifdef CORVANE_HAVE_CMENU
  return m_pMenu ? m_pMenu->m_hMenu : nullptr;
#else
  return nullptr;
#endif
}

namespace {
// The walk's own variant: works on the raw menu.
class CMenuItemCmdUI : public CCmdUI {
 public:
  HMENU hMenu = nullptr;
  void Enable(BOOL bOn) override {
    ::EnableMenuItem(hMenu, m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : MF_GRAYED));
    m_bEnableChanged = TRUE;
  }
  void SetCheck(int nCheck) override {
    ::CheckMenuItem(hMenu, m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
  }
  void SetRadio(BOOL bOn) override {
    if (bOn)
      ::CheckMenuRadioItem(hMenu, m_nIndex, m_nIndex, m_nIndex, MF_BYPOSITION);
    else
      SetCheck(0);
  }
  void SetText(LPCTSTR lpszText) override {
    UINT state = ::GetMenuState(hMenu, m_nIndex, MF_BYPOSITION) & (MF_GRAYED | MF_CHECKED);
    ::ModifyMenuW(hMenu, m_nIndex, MF_BYPOSITION | MF_STRING | state, m_nID, lpszText);
  }
};
}  // namespace

void CCmdUI::Enable(BOOL bOn) {
  if (HMENU hMenu = MenuHandle()) {
    ::EnableMenuItem(hMenu, m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : MF_GRAYED));
  } else if (m_pOther) {
    HWND hCtrl = m_pOther->m_hWnd;
    // Disabling the focused control would strand the keyboard: move on first.
    if (!bOn && ::GetFocus() == hCtrl) {
      HWND hParent = ::GetParent(hCtrl);
      ::SendMessageW(hParent, WM_NEXTDLGCTL, 0, FALSE);
    }
    ::EnableWindow(hCtrl, bOn);
  }
  m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck) {
  if (HMENU hMenu = MenuHandle()) {
    ::CheckMenuItem(hMenu, m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
  } else if (m_pOther) {
    HWND hCtrl = m_pOther->m_hWnd;
    if (::SendMessageW(hCtrl, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON)
      ::SendMessageW(hCtrl, BM_SETCHECK, static_cast<WPARAM>(nCheck), 0);
  }
}

void CCmdUI::SetRadio(BOOL bOn) {
  if (HMENU hMenu = MenuHandle()) {
    if (bOn)
      ::CheckMenuRadioItem(hMenu, m_nIndex, m_nIndex, m_nIndex, MF_BYPOSITION);
    else
      ::CheckMenuItem(hMenu, m_nIndex, MF_BYPOSITION | MF_UNCHECKED);
    return;
  }
  SetCheck(bOn ? 1 : 0);
}

void CCmdUI::SetText(LPCTSTR lpszText) {
  if (HMENU hMenu = MenuHandle()) {
    UINT state = ::GetMenuState(hMenu, m_nIndex, MF_BYPOSITION) & (MF_GRAYED | MF_CHECKED);
    ::ModifyMenuW(hMenu, m_nIndex, MF_BYPOSITION | MF_STRING | state, m_nID, lpszText);
  } else if (m_pOther) {
    CString current;
    m_pOther->GetWindowText(current);
    if (current != lpszText) m_pOther->SetWindowText(lpszText);
  }
}

void CTestCmdUI::Enable(BOOL bOn) {
  m_bEnabled = bOn;
  m_bEnableChanged = TRUE;
}

BOOL CCmdUI::DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  if (m_nID == 0 || LOWORD(m_nID) == 0xFFFF) return TRUE;  // separators, statics
  m_bEnableChanged = FALSE;
  BOOL handled = pTarget->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
  if (bDisableIfNoHndler && !m_bEnableChanged) {
    AFX_CMDHANDLERINFO info{};
    Enable(pTarget->OnCmdMsg(m_nID, CN_COMMAND, this, &info));
  }
  return handled;
}

void AfxUpdateMenuCmdUI(CCmdTarget* pTarget, HMENU hPopupMenu) {
  CMenuItemCmdUI state;
  state.hMenu = hPopupMenu;
#ifdef CORVANE_HAVE_CMENU
  state.m_pMenu = CMenu::FromHandle(hPopupMenu);
#endif
  state.m_nIndexMax = static_cast<UINT>(::GetMenuItemCount(hPopupMenu));
  for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
    UINT nID = ::GetMenuItemID(hPopupMenu, static_cast<int>(state.m_nIndex));
    if (nID == 0) continue;  // separator
    state.m_pSubMenu = nullptr;
    BOOL disableIfNoHandler = FALSE;
    if (nID == static_cast<UINT>(-1)) {
      HMENU hSub = ::GetSubMenu(hPopupMenu, static_cast<int>(state.m_nIndex));
      if (!hSub) continue;
      nID = ::GetMenuItemID(hSub, 0);
      if (nID == 0 || nID == static_cast<UINT>(-1)) continue;
#ifdef CORVANE_HAVE_CMENU
      state.m_pSubMenu = CMenu::FromHandle(hSub);
#endif
      disableIfNoHandler = TRUE;
    }
    state.m_nID = nID;
    state.DoUpdate(pTarget, disableIfNoHandler);
    // A handler that added or removed items: find this command again.
    UINT count = static_cast<UINT>(::GetMenuItemCount(hPopupMenu));
    if (count != state.m_nIndexMax) {
      state.m_nIndexMax = count;
      for (UINT i = 0; i < count; ++i) {
        if (::GetMenuItemID(hPopupMenu, static_cast<int>(i)) == state.m_nID) {
          state.m_nIndex = i;
          break;
        }
      }
    }
  }
}
