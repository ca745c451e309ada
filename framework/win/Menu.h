// Menus. A CMenu owns its HMENU (DestroyMenu) unless it is a FromHandle
// temporary (per thread, freed at idle). Submenus are always temporaries:
// they belong to their parent menu.
#pragma once

#include <windows.h>

class CWnd;

class CMenu {
 public:
  HMENU m_hMenu = nullptr;

  CMenu() = default;
  virtual ~CMenu() { DestroyMenu(); }
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  operator HMENU() const { return m_hMenu; }
  HMENU GetSafeHmenu() const { return m_hMenu; }

  BOOL Attach(HMENU hMenu) {
    if (!hMenu || m_hMenu) return FALSE;
    m_hMenu = hMenu;
    return TRUE;
  }
  HMENU Detach() {
    HMENU h = m_hMenu;
    m_hMenu = nullptr;
    return h;
  }
  BOOL DestroyMenu() {
    HMENU h = Detach();
    return h ? ::DestroyMenu(h) : FALSE;
  }
  BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
  BOOL CreateMenu() { return Attach(::CreateMenu()); }
  // From the resource module.
  BOOL LoadMenu(UINT nIDResource);

  CMenu* GetSubMenu(int nPos) const { return FromHandle(::GetSubMenu(m_hMenu, nPos)); }
  BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr) {
    return ::AppendMenuW(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
  }
  BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0,
                  LPCTSTR lpszNewItem = nullptr) {
    return ::InsertMenuW(m_hMenu, nPosition, nFlags, nIDNewItem, lpszNewItem);
  }
  BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0,
                  LPCTSTR lpszNewItem = nullptr) {
    return ::ModifyMenuW(m_hMenu, nPosition, nFlags, nIDNewItem, lpszNewItem);
  }
  BOOL DeleteMenu(UINT nPosition, UINT nFlags) { return ::DeleteMenu(m_hMenu, nPosition, nFlags); }
  BOOL RemoveMenu(UINT nPosition, UINT nFlags) { return ::RemoveMenu(m_hMenu, nPosition, nFlags); }
  // Previous state (MF_ENABLED/MF_GRAYED/MF_DISABLED), or -1 when there is no such item.
  UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
    return ::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable);
  }
  DWORD CheckMenuItem(UINT nIDCheckItem, UINT nCheck) {
    return ::CheckMenuItem(m_hMenu, nIDCheckItem, nCheck);
  }
  BOOL CheckMenuRadioItem(UINT nIDFirst, UINT nIDLast, UINT nIDItem, UINT nFlags) {
    return ::CheckMenuRadioItem(m_hMenu, nIDFirst, nIDLast, nIDItem, nFlags);
  }
  BOOL SetDefaultItem(UINT uItem, BOOL fByPos = FALSE) {
    return ::SetMenuDefaultItem(m_hMenu, uItem, fByPos);
  }
  UINT GetMenuState(UINT nID, UINT nFlags) const { return ::GetMenuState(m_hMenu, nID, nFlags); }
  int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
  // 0 for a separator, -1 for a submenu.
  UINT GetMenuItemID(int nPos) const { return ::GetMenuItemID(m_hMenu, nPos); }
  int GetMenuString(UINT nIDItem, LPTSTR lpString, int nMaxCount, UINT nFlags) const {
    return ::GetMenuStringW(m_hMenu, nIDItem, lpString, nMaxCount, nFlags);
  }
  BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);
  BOOL TrackPopupMenuEx(UINT fuFlags, int x, int y, CWnd* pWnd, LPTPMPARAMS lptpm);

  static CMenu* FromHandle(HMENU hMenu);
};
