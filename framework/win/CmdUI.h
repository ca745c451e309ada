// Command states: a CCmdUI stands for one menu item or control while the target's
// ON_UPDATE_COMMAND_UI handlers decide its state.
#pragma once

#include "framework/win/Wnd.h"

class CCmdUI {
 public:
  CCmdUI();
  virtual ~CCmdUI() = default;

  UINT m_nID;
  UINT m_nIndex;      // menu item position
  CMenu* m_pMenu;     // menu variant: the menu holding the item
  CMenu* m_pSubMenu;  // the item's pop-up when it opens one
  CWnd* m_pOther;     // control variant: the control
  BOOL m_bEnableChanged;
  BOOL m_bContinueRouting;
  UINT m_nIndexMax;  // items in m_pMenu

  virtual void Enable(BOOL bOn = TRUE);
  virtual void SetCheck(int nCheck = 1);  // 0 clear, 1 checked, 2 indeterminate
  virtual void SetRadio(BOOL bOn = TRUE);
  virtual void SetText(LPCTSTR lpszText);
  void ContinueRouting() { m_bContinueRouting = TRUE; }

  // Runs pTarget's update handler; without one, and with bDisableIfNoHndler, the item
  // is enabled exactly when pTarget has a command handler for it.
  BOOL DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);

 protected:
  HMENU MenuHandle() const;
};

// Only records whether the command is enabled (gates menu and accelerator commands).
class CTestCmdUI : public CCmdUI {
 public:
  CTestCmdUI() : m_bEnabled(TRUE) {}
  BOOL m_bEnabled;
  void Enable(BOOL bOn = TRUE) override;
  void SetCheck(int) override {}
  void SetRadio(BOOL) override {}
  void SetText(LPCTSTR) override {}
};

// The command-state walk over a pop-up menu about to open: separators skipped; a
// sub-menu item is updated (disabled without handler) by the command of its first
// item; other items are updated without disabling. Items added or removed by a
// handler are followed by command.
void AfxUpdateMenuCmdUI(CCmdTarget* pTarget, HMENU hPopupMenu);
