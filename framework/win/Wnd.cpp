// Windows: handle maps, the creation hook, the one window procedure, message-map
// dispatch, command and notification routing with reflection, and the modal loop.
#include "framework/win/Wnd.h"

#include <exception>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "framework/core/ThreadLocal.h"
#include "framework/win/CmdUI.h"
#include "framework/win/Gdi.h"
#include "framework/win/TempMap.h"
#include "framework/win/WinApp.h"

namespace {

// Permanent map: one for the process, read from worker threads (disc worker, player)
// while the UI thread adds and removes windows, hence the lock.
std::shared_mutex g_mapLock;
std::unordered_map<HWND, CWnd*>& PermanentMap() {
  static auto* map = new std::unordered_map<HWND, CWnd*>;  // never destroyed: used at exit
  return *map;
}

// Per-thread state: the temporaries, the creation hook, the message being handled.
struct ThreadState {
  std::unordered_map<HWND, CWnd*> temps;
  CWnd* pWndInit = nullptr;
  HHOOK hHookCbt = nullptr;
  MSG lastSent{};
  HWND hLockoutNotify = nullptr;
  ~ThreadState() { FreeTemps(); }
  void FreeTemps() {
    for (auto& item : temps) {
      item.second->m_hWnd = nullptr;
      delete item.second;
    }
    temps.clear();
  }
};
ThreadState& State() {
  static CThreadLocal<ThreadState> state;
  return state.Get();
}

void ReportBoundaryException(CException* e) noexcept {
  try {
    e->ReportError(MB_ICONEXCLAMATION);
  } catch (...) {
  }
  e->Delete();
}

LRESULT CALLBACK CbtFilterHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  ThreadState& st = State();
  if (code == HCBT_CREATEWND && st.pWndInit) {
    CWnd* pWnd = st.pWndInit;
    st.pWndInit = nullptr;
    HWND hWnd = reinterpret_cast<HWND>(wParam);
    try {
      pWnd->Attach(hWnd);
      pWnd->PreSubclassWindow();
    } catch (CException* e) {
      ReportBoundaryException(e);
    } catch (...) {
    }
    auto oldProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::AfxWndProc)));
    if (oldProc != &CWnd::AfxWndProc) pWnd->m_pfnSuper = oldProc;
  }
  return ::CallNextHookEx(st.hHookCbt, code, wParam, lParam);
}

bool IsCtlColor(UINT message) {
  return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

}  // namespace

struct AfxWndAccess {
  static HWND& Lockout() { return State().hLockoutNotify; }
};
HWND& AfxLockoutNotifyWindow() { return AfxWndAccess::Lockout(); }

void AfxHookWindowCreate(CWnd* pWnd) {
  ThreadState& st = State();
  if (!st.hHookCbt)
    st.hHookCbt = ::SetWindowsHookExW(WH_CBT, &CbtFilterHook, nullptr, ::GetCurrentThreadId());
  st.pWndInit = pWnd;
}

BOOL AfxUnhookWindowCreate() {
  ThreadState& st = State();
  if (st.hHookCbt) {
    ::UnhookWindowsHookEx(st.hHookCbt);
    st.hHookCbt = nullptr;
  }
  BOOL consumed = st.pWndInit == nullptr;
  st.pWndInit = nullptr;
  return consumed;
}

void AfxDeleteTempMaps() {
  CWnd::DeleteTempMap();
  AfxFreeTempGdiObjects();
}

// ---------------------------------------------------------------- CCmdTarget

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}
const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(const AFX_MSGMAP* pMap, UINT nMessage,
                                                     UINT nCode, UINT nID,
                                                     const AFX_MSGMAP_ENTRY* pAfter) {
  bool skipping = pAfter != nullptr;
  for (; pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e->pfn; ++e) {
      if (skipping) {
        if (e == pAfter) skipping = false;
        continue;
      }
      bool messageMatches = e->nMessage == AFX_REGISTERED_MESSAGE
                                ? (e->pnRegistered && *e->pnRegistered == nMessage)
                                : e->nMessage == nMessage;
      if (messageMatches && e->nCode == nCode && nID >= e->nID && nID <= e->nLastID) return e;
    }
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  // nCode packs the message in its high word (0 = WM_COMMAND); update requests are -1.
  UINT nMsg = WM_COMMAND;
  UINT code = static_cast<UINT>(CN_UPDATE_COMMAND_UI);
  if (nCode != CN_UPDATE_COMMAND_UI) {
    code = LOWORD(nCode);
    if (HIWORD(nCode) != 0) nMsg = HIWORD(nCode);
  }
  const AFX_MSGMAP_ENTRY* e = nullptr;
  while ((e = FindMessageEntry(GetMessageMap(), nMsg, code, nID, e)) != nullptr) {
    if (pHandlerInfo) {
      pHandlerInfo->pTarget = this;
      pHandlerInfo->pEntry = e;
      return TRUE;
    }
    AFX_MSGCALL call{nMsg, 0, 0, nID, pExtra, 0};
    if (nCode == CN_UPDATE_COMMAND_UI) {
      CCmdUI* pCmdUI = static_cast<CCmdUI*>(pExtra);
      pCmdUI->m_bContinueRouting = FALSE;
      e->pfn(this, call);
      return !pCmdUI->m_bContinueRouting;
    }
    if (e->pfn(this, call)) return TRUE;  // FALSE from an _EX handler: keep looking
  }
  return FALSE;
}

// ---------------------------------------------------------------- handle maps

CWnd::CWnd()
    : m_hWnd(nullptr),
      m_hWndToolTip(nullptr),
      m_pfnSuper(nullptr),
      m_nFlags(0),
      m_nModalResult(0) {}

CWnd::CWnd(HWND hWnd) : CWnd() { m_hWnd = hWnd; }

CWnd::~CWnd() {
  if (m_hWnd && !(m_nFlags & WF_TEMPORARY) && FromHandlePermanent(m_hWnd) == this) {
    // Still alive: destroy it now so the map never points at a dead object.
    if (::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    if (m_hWnd) Detach();
  }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (!hWnd) return nullptr;
  std::shared_lock lock(g_mapLock);
  auto it = PermanentMap().find(hWnd);
  return it == PermanentMap().end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  if (!hWnd) return nullptr;
  if (CWnd* p = FromHandlePermanent(hWnd)) return p;
  auto& temps = State().temps;
  auto it = temps.find(hWnd);
  if (it != temps.end()) return it->second;
  CWnd* p = new CWnd(hWnd);
  p->m_nFlags |= WF_TEMPORARY;
  temps.emplace(hWnd, p);
  return p;
}

void CWnd::DeleteTempMap() { State().FreeTemps(); }

BOOL CWnd::Attach(HWND hWndNew) {
  if (!hWndNew || m_hWnd) return FALSE;
  {
    std::unique_lock lock(g_mapLock);
    auto [it, added] = PermanentMap().emplace(hWndNew, this);
    if (!added) return FALSE;
  }
  m_hWnd = hWndNew;
  // A temporary for the same handle may exist on this thread: retire it.
  auto& temps = State().temps;
  auto it = temps.find(hWndNew);
  if (it != temps.end()) {
    it->second->m_hWnd = nullptr;
    delete it->second;
    temps.erase(it);
  }
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hWnd = m_hWnd;
  if (hWnd) {
    std::unique_lock lock(g_mapLock);
    auto it = PermanentMap().find(hWnd);
    if (it != PermanentMap().end() && it->second == this) PermanentMap().erase(it);
  }
  m_hWnd = nullptr;
  return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (!Attach(hWnd)) return FALSE;
  PreSubclassWindow();
  auto oldProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
  if (oldProc != &AfxWndProc) m_pfnSuper = oldProc;
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
  HWND hWnd = ::GetDlgItem(pParent->GetSafeHwnd(), nID);
  return hWnd ? SubclassWindow(hWnd) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  if (m_pfnSuper) {
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
  }
  return Detach();
}

void CWnd::PreSubclassWindow() {}

// ---------------------------------------------------------------- creation

HWND CWnd::HookedCreate(CWnd* pWnd, DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName,
                        DWORD dwStyle, int x, int y, int nWidth, int nHeight, HWND hWndParent,
                        HMENU nIDorHMenu, LPVOID lpParam) {
  AfxHookWindowCreate(pWnd);
  HWND hWnd = ::CreateWindowExW(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth,
                                nHeight, hWndParent, nIDorHMenu, AfxGetInstanceHandle(), lpParam);
  AfxUnhookWindowCreate();
  return hWnd;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                    LPVOID lpParam) {
  if (m_hWnd) return FALSE;
  CREATESTRUCTW cs{};
  cs.dwExStyle = dwExStyle;
  cs.lpszClass = lpszClassName;
  cs.lpszName = lpszWindowName;
  cs.style = static_cast<LONG>(dwStyle);
  cs.x = x;
  cs.y = y;
  cs.cx = nWidth;
  cs.cy = nHeight;
  cs.hwndParent = hWndParent;
  cs.hMenu = nIDorHMenu;
  cs.hInstance = AfxGetInstanceHandle();
  cs.lpCreateParams = lpParam;
  if (!PreCreateWindow(cs)) {
    PostNcDestroy();
    return FALSE;
  }
  HWND hWnd =
      HookedCreate(this, cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style),
                   cs.x, cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.lpCreateParams);
  if (!hWnd) {
    // WM_CREATE may have failed after the attach; the object must not stay mapped.
    if (m_hWnd) Detach();
    return FALSE;
  }
  return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
  return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top, pParentWnd->GetSafeHwnd(),
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), lpParam);
}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, void*) {
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (!cs.lpszClass)
    cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                                       reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  HWND hWnd = m_hWnd;
  bool permanent = FromHandlePermanent(hWnd) == this;
  BOOL result = ::DestroyWindow(hWnd);
  // A permanent object is detached by WM_NCDESTROY (and may be gone by now).
  if (!permanent && m_hWnd == hWnd) m_hWnd = nullptr;
  return result;
}

void CWnd::PostNcDestroy() {}

// ---------------------------------------------------------------- window procedure

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  CWnd* pWnd = FromHandlePermanent(hWnd);
  if (!pWnd) return ::DefWindowProcW(hWnd, message, wParam, lParam);
  ThreadState& st = State();
  MSG saved = st.lastSent;
  st.lastSent.hwnd = hWnd;
  st.lastSent.message = message;
  st.lastSent.wParam = wParam;
  st.lastSent.lParam = lParam;
  st.lastSent.time = static_cast<DWORD>(::GetMessageTime());
  DWORD pos = ::GetMessagePos();
  st.lastSent.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
  LRESULT lResult = 0;
  WNDPROC pfnSuper = pWnd->m_pfnSuper;
  try {
    lResult = pWnd->WindowProc(message, wParam, lParam);
  } catch (CException* e) {
    ReportBoundaryException(e);
    lResult = message == WM_CREATE ? -1 : 0;
  } catch (const std::exception&) {
    lResult = message == WM_CREATE ? -1 : 0;
  } catch (...) {
    lResult = message == WM_CREATE ? -1 : 0;
  }
  if (message == WM_NCDESTROY && FromHandlePermanent(hWnd) == pWnd) {
    // The handler did not reach CWnd::OnNcDestroy: detach here.
    if (pfnSuper) ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnSuper));
    pWnd->m_pfnSuper = nullptr;
    pWnd->Detach();
    try {
      pWnd->PostNcDestroy();
    } catch (...) {
    }
  }
  st.lastSent = saved;
  return lResult;
}

const MSG* CWnd::GetCurrentMessage() { return &State().lastSent; }

MSG* AfxGetLastSentMessage() { return &State().lastSent; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT lResult = 0;
  if (!OnWndMsg(message, wParam, lParam, &lResult))
    lResult = DefWindowProc(message, wParam, lParam);
  return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  const MSG* m = GetCurrentMessage();
  return DefWindowProc(m->message, m->wParam, m->lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    *pResult = 1;
    return TRUE;
  }
  if (message == WM_NOTIFY) {
    LRESULT lResult = 0;
    if (!OnNotify(wParam, lParam, &lResult)) return FALSE;
    *pResult = lResult;
    return TRUE;
  }
  UINT lookup = message;
  UINT nID = 0;
  if (IsCtlColor(message)) {
    lookup = WM_CTLCOLOR;
    nID = message - WM_CTLCOLORMSGBOX;
  }
  const AFX_MSGMAP_ENTRY* e = FindMessageEntry(GetMessageMap(), lookup, 0, 0);
  if (!e) {
    if (message == WM_NCDESTROY) {
      OnNcDestroy();
      *pResult = 0;
      return TRUE;
    }
    if (lookup == WM_CTLCOLOR) {
      // No handler of its own: the control may still colour itself.
      *pResult = reinterpret_cast<LRESULT>(OnCtlColor(nullptr, nullptr, nID));
      return TRUE;
    }
    return FALSE;
  }
  AFX_MSGCALL call{message, wParam, lParam, nID, nullptr, 0};
  if (!e->pfn(this, call)) return FALSE;
  *pResult = call.lResult;
  return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT nID = LOWORD(wParam);
  HWND hWndCtrl = reinterpret_cast<HWND>(lParam);
  int nCode = HIWORD(wParam);
  if (!hWndCtrl) {
    // Menu or accelerator: a command whose state says disabled is dropped.
    if (nID == 0) return FALSE;
    CTestCmdUI state;
    state.m_nID = nID;
    OnCmdMsg(nID, CN_UPDATE_COMMAND_UI, &state, nullptr);
    if (!state.m_bEnabled) return TRUE;
    nCode = CN_COMMAND;
  } else {
    if (State().hLockoutNotify == m_hWnd) return TRUE;  // UpdateData is running
    if (ReflectLastMsg(hWndCtrl)) return TRUE;
  }
  return OnCmdMsg(nID, nCode, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) {
  NMHDR* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
  HWND hWndCtrl = pNMHDR->hwndFrom;
  // By the sender's own id, so a tool tip (id 0) meets a 0..0xFFFF range.
  UINT nID = hWndCtrl ? static_cast<UINT>(::GetDlgCtrlID(hWndCtrl)) : 0;
  if (State().hLockoutNotify == m_hWnd) return TRUE;
  if (ReflectLastMsg(hWndCtrl, pResult)) return TRUE;
  AFX_NOTIFY notify{pResult, pNMHDR};
  return OnCmdMsg(nID, MAKELONG(pNMHDR->code, WM_NOTIFY), &notify, nullptr);
}

BOOL CWnd::ReflectLastMsg(HWND hWndChild, LRESULT* pResult) {
  CWnd* pWnd = FromHandlePermanent(hWndChild);
  return pWnd ? pWnd->SendChildNotifyLastMsg(pResult) : FALSE;
}

BOOL CWnd::SendChildNotifyLastMsg(LRESULT* pResult) {
  const MSG* m = GetCurrentMessage();
  LRESULT dummy = 0;
  return OnChildNotify(m->message, m->wParam, m->lParam, pResult ? pResult : &dummy);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND) {
    int nCode = HIWORD(wParam);
    if (OnCmdMsg(0, MAKELONG(nCode, WM_REFLECT_BASE + WM_COMMAND), nullptr, nullptr)) {
      if (pResult) *pResult = 1;
      return TRUE;
    }
    return FALSE;
  }
  if (message == WM_NOTIFY) {
    NMHDR* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
    LRESULT dummy = 0;
    AFX_NOTIFY notify{pResult ? pResult : &dummy, pNMHDR};
    return OnCmdMsg(0, MAKELONG(pNMHDR->code, WM_REFLECT_BASE + WM_NOTIFY), &notify, nullptr);
  }
  UINT lookup = WM_REFLECT_BASE + message;
  UINT nID = 0;
  if (IsCtlColor(message)) {
    lookup = WM_REFLECT_BASE + WM_CTLCOLOR;
    nID = message - WM_CTLCOLORMSGBOX;
  }
  const AFX_MSGMAP_ENTRY* e = FindMessageEntry(GetMessageMap(), lookup, 0, 0);
  if (!e) return FALSE;
  AFX_MSGCALL call{message, wParam, lParam, nID, nullptr, 0};
  if (!e->pfn(this, call)) return FALSE;
  if (pResult) *pResult = call.lResult;
  return TRUE;
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
  const MSG* m = GetCurrentMessage();
  LRESULT lResult = 0;
  if (ReflectLastMsg(reinterpret_cast<HWND>(m->lParam), &lResult))
    return reinterpret_cast<HBRUSH>(lResult);
  return reinterpret_cast<HBRUSH>(Default());
}

BOOL CWnd::PreTranslateMessage(MSG* pMsg) { return FilterToolTipMessage(pMsg); }

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg) {
  for (HWND hWnd = pMsg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (pWnd && pWnd->PreTranslateMessage(pMsg)) return TRUE;
    if (hWnd == hWndStop) break;
  }
  return FALSE;
}

// ---------------------------------------------------------------- default handlers

void CWnd::OnNcDestroy() {
  HWND hWnd = m_hWnd;
  Default();
  if (m_hWndToolTip && ::IsWindow(m_hWndToolTip)) ::DestroyWindow(m_hWndToolTip);
  m_hWndToolTip = nullptr;
  if (m_pfnSuper && hWnd)
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  m_pfnSuper = nullptr;
  Detach();
  PostNcDestroy();  // may delete this
}

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
BOOL CWnd::OnNcCreate(LPCREATESTRUCT) { return static_cast<BOOL>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnSizing(UINT, LPRECT) { Default(); }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnWindowPosChanged(WINDOWPOS*) { Default(); }
BOOL CWnd::OnQueryEndSession() { return static_cast<BOOL>(Default()); }
void CWnd::OnEndSession(BOOL) { Default(); }
BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR) { return static_cast<BOOL>(Default()); }
BOOL CWnd::OnHelpInfo(HELPINFO*) { return static_cast<BOOL>(Default()); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
LRESULT CWnd::OnNcHitTest(CPoint) { return Default(); }
void CWnd::OnSettingChange(UINT, LPCTSTR) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
void CWnd::OnEnable(BOOL) { Default(); }

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
  static const AFX_MSGMAP map = {&CCmdTarget::GetThisMessageMap, &entries[0]};
  return &map;
}
const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

// ---------------------------------------------------------------- data exchange hooks

void CWnd::DoDataExchange(CDataExchange*) {}

// ---------------------------------------------------------------- modal loop

namespace {
bool IsIdleMessage(const MSG& msg) {
  // Painting, the caret timer and mouse moves that did not move restart no idle work.
  static POINT lastPt{-1, -1};
  static UINT lastMsg = 0;
  if (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) {
    if (msg.message == lastMsg && msg.pt.x == lastPt.x && msg.pt.y == lastPt.y) return false;
    lastPt = msg.pt;
    lastMsg = msg.message;
    return true;
  }
  return msg.message != WM_PAINT && msg.message != 0x0118;
}
}  // namespace

int CWnd::RunModalLoop(DWORD dwFlags) {
  m_nFlags |= WF_MODALLOOP | WF_CONTINUEMODAL;
  HWND hWndSelf = m_hWnd;
  bool idle = true;
  LONG idleCount = 0;
  bool showPending = (dwFlags & MLF_SHOWONIDLE) && !(GetStyle() & WS_VISIBLE);
  MSG msg{};
  for (;;) {
    while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (showPending) {
        ShowWindow(SW_SHOWNORMAL);
        UpdateWindow();
        showPending = false;
      }
      if (idleCount == 0) AfxDeleteTempMaps();
      if (dwFlags & MLF_NOKICKIDLE ||
          !::SendMessageW(hWndSelf, WM_KICKIDLE, MSGF_DIALOGBOX, idleCount++))
        idle = false;
      if (!ContinueModal()) goto done;
    }
    do {
      if (!::GetMessageW(&msg, nullptr, 0, 0)) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see it too
        m_nModalResult = -1;
        goto done;
      }
      if (!WalkPreTranslateTree(hWndSelf, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      if (!ContinueModal()) goto done;
      if (IsIdleMessage(msg)) {
        idle = true;
        idleCount = 0;
      }
    } while (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  }
done:
  m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
  return m_nModalResult;
}

BOOL CWnd::ContinueModal() { return (m_nFlags & WF_CONTINUEMODAL) != 0; }

void CWnd::EndModalLoop(int nResult) {
  m_nModalResult = nResult;
  if (m_nFlags & WF_CONTINUEMODAL) {
    m_nFlags &= ~WF_CONTINUEMODAL;
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);  // wake GetMessage
  }
}

// ---------------------------------------------------------------- command states

void CWnd::UpdateDialogControls(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild;
       hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
    UINT nID = static_cast<UINT>(::GetDlgCtrlID(hChild));
    if (nID == 0 || nID == 0xFFFF) continue;
    CCmdUI state;
    state.m_pOther = FromHandle(hChild);
    state.m_nID = nID;
    // The control may keep its own state (reflected update).
    if (CWnd* pPerm = FromHandlePermanent(hChild);
        pPerm &&
        pPerm->OnCmdMsg(0, MAKELONG(0xFFFF, WM_REFLECT_BASE + WM_COMMAND), &state, nullptr))
      continue;
    state.DoUpdate(pTarget, bDisableIfNoHndler);
  }
}

// ---------------------------------------------------------------- control bars

void CWnd::RepositionBars(UINT nIDFirst, UINT nIDLast, UINT nIDLeftOver, UINT nFlags,
                          LPRECT lpRectParam, LPCRECT lpRectClient, BOOL bStretch) {
  AFX_SIZEPARENTPARAMS layout{};
  layout.bStretch = bStretch;
  if (lpRectClient)
    layout.rect = *lpRectClient;
  else
    ::GetClientRect(m_hWnd, &layout.rect);
  layout.hDWP = (nFlags & reposQuery) ? nullptr : ::BeginDeferWindowPos(8);
  HWND hLeftOver = nullptr;
  for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild;
       hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
    UINT nID = static_cast<UINT>(::GetDlgCtrlID(hChild));
    if (nID == nIDLeftOver && nIDLeftOver != 0)
      hLeftOver = hChild;
    else if (nID >= nIDFirst && nID <= nIDLast)
      ::SendMessageW(hChild, WM_SIZEPARENT, 0, reinterpret_cast<LPARAM>(&layout));
  }
  if (nFlags & reposQuery) {
    if (lpRectParam) *lpRectParam = layout.rect;
    return;
  }
  if (hLeftOver) {
    RECT rc = layout.rect;
    if ((nFlags & reposExtra) && lpRectParam) {
      rc.left += lpRectParam->left;
      rc.top += lpRectParam->top;
      rc.right -= lpRectParam->right;
      rc.bottom -= lpRectParam->bottom;
    }
    layout.hDWP =
        ::DeferWindowPos(layout.hDWP, hLeftOver, nullptr, rc.left, rc.top, rc.right - rc.left,
                         rc.bottom - rc.top, SWP_NOACTIVATE | SWP_NOZORDER);
  }
  if (layout.hDWP) ::EndDeferWindowPos(layout.hDWP);
}

CSize CControlBar::CalcFixedLayout(BOOL, BOOL) {
  RECT rc{};
  ::GetWindowRect(m_hWnd, &rc);
  return CSize(rc.right - rc.left, rc.bottom - rc.top);
}

void CControlBar::OnUpdateCmdUI(CWnd*, BOOL) {}

LRESULT CControlBar::OnSizeParent(WPARAM, LPARAM lParam) {
  auto* layout = reinterpret_cast<AFX_SIZEPARENTPARAMS*>(lParam);
  if (!(GetStyle() & WS_VISIBLE) || !(m_dwStyle & CBRS_ALIGN_ANY)) return 0;
  bool horz = (m_dwStyle & (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)) != 0;
  CSize size = CalcFixedLayout(layout->bStretch, horz);
  RECT& r = layout->rect;
  RECT place = r;
  if (m_dwStyle & CBRS_ALIGN_TOP) {
    place.bottom = r.top + size.cy;
    r.top = place.bottom;
  } else if (m_dwStyle & CBRS_ALIGN_BOTTOM) {
    place.top = r.bottom - size.cy;
    r.bottom = place.top;
  } else if (m_dwStyle & CBRS_ALIGN_LEFT) {
    place.right = r.left + size.cx;
    r.left = place.right;
  } else {
    place.left = r.right - size.cx;
    r.right = place.left;
  }
  if (horz) {
    layout->sizeTotal.cy += size.cy;
    layout->sizeTotal.cx = std::max<LONG>(layout->sizeTotal.cx, size.cx);
  } else {
    layout->sizeTotal.cx += size.cx;
    layout->sizeTotal.cy = std::max<LONG>(layout->sizeTotal.cy, size.cy);
  }
  if (layout->hDWP)
    layout->hDWP = ::DeferWindowPos(layout->hDWP, m_hWnd, nullptr, place.left, place.top,
                                    place.right - place.left, place.bottom - place.top,
                                    SWP_NOACTIVATE | SWP_NOZORDER);
  return 0;
}

LRESULT CControlBar::OnIdleUpdateCmdUI(WPARAM wParam, LPARAM) {
  CWnd* pTarget = GetOwner();
  if (!pTarget) pTarget = GetParent();
  if (pTarget) OnUpdateCmdUI(pTarget, static_cast<BOOL>(wParam));
  return 0;
}

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
ON_MESSAGE(WM_SIZEPARENT, OnSizeParent)
ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
END_MESSAGE_MAP()
