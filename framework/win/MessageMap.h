// Message maps: tables that bind window messages, commands and notifications to
// member handlers. Each entry carries a small captureless lambda that cracks the
// message and calls the handler through the class the map belongs to, so a handler
// with the wrong signature fails to compile.
//
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//     ON_WM_SIZE()
//     ON_COMMAND(ID_FILE_OPEN, OnFileOpen)
//     ON_NOTIFY(NM_CLICK, IDC_LIST, OnListClick)
//   END_MESSAGE_MAP()
#pragma once

#include <windows.h>

#include <commctrl.h>

class CCmdTarget;
class CCmdUI;
class CWnd;
class CDC;
class CMenu;
class CScrollBar;

// Framework messages.
constexpr UINT WM_SIZEPARENT = 0x0361;       // lParam: AFX_SIZEPARENTPARAMS*
constexpr UINT WM_IDLEUPDATECMDUI = 0x0363;  // wParam: disable when no handler
constexpr UINT WM_KICKIDLE = 0x036A;         // wParam MSGF_DIALOGBOX, lParam idle count
constexpr UINT WM_REFLECT_BASE = 0xBC00;     // parent-to-child reflection
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019  // all WM_CTLCOLOR* messages share this entry
#endif

// Command codes routed through OnCmdMsg.
constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;

// What a handler is called with.
struct AFX_MSGCALL {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  UINT nID;      // command or control id; CTLCOLOR_* code for colour messages
  void* pExtra;  // AFX_NOTIFY* for notifications, CCmdUI* for command updates
  LRESULT lResult;
};

struct AFX_NOTIFY {
  LRESULT* pResult;
  NMHDR* pNMHDR;
};

// Handler thunk: TRUE when the message counts as handled.
using AFX_PMSGFN = BOOL (*)(CCmdTarget* pTarget, AFX_MSGCALL& call);

constexpr UINT AFX_REGISTERED_MESSAGE = 0xC000;  // nMessage of registered-message entries

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;  // notification code (16 bits) or CN_UPDATE_COMMAND_UI
  UINT nID;
  UINT nLastID;
  const UINT* pnRegistered;  // the registered message's variable, read at dispatch time
  AFX_PMSGFN pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

// Filled by OnCmdMsg when the caller only asks whether a handler exists.
struct AFX_CMDHANDLERINFO {
  CCmdTarget* pTarget;
  const AFX_MSGMAP_ENTRY* pEntry;
};

#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    using ThisClass [[maybe_unused]] = theClass;                                    \
    using TheBaseClass = baseClass;                                                 \
    static const AFX_MSGMAP_ENTRY messageEntries_[] = {
#define END_MESSAGE_MAP()                                                                        \
  { 0, 0, 0, 0, nullptr, nullptr }                                                               \
  }                                                                                              \
  ;                                                                                              \
  static const AFX_MSGMAP messageMap_ = {&TheBaseClass::GetThisMessageMap, &messageEntries_[0]}; \
  return &messageMap_;                                                                           \
  }

// Entry builders. p_ is the target as the map's class, c_ the call.
#define AFX_ENTRY(msg, code, id, lastId, reg, ...) \
  {(msg),                                          \
   static_cast<UINT>(code),                        \
   static_cast<UINT>(id),                          \
   static_cast<UINT>(lastId),                      \
   reg,                                            \
   [](CCmdTarget* t_, AFX_MSGCALL& c_) -> BOOL {   \
     ThisClass* p_ = static_cast<ThisClass*>(t_);  \
     (void)p_;                                     \
     (void)c_;                                     \
     __VA_ARGS__;                                  \
   }},
#define AFX_WM(msg, ...) AFX_ENTRY(msg, 0, 0, 0, nullptr, __VA_ARGS__; return TRUE)
#define AFX_X_(l) static_cast<int>(static_cast<short>(LOWORD(l)))
#define AFX_Y_(l) static_cast<int>(static_cast<short>(HIWORD(l)))
#define AFX_PT_ (CPoint(AFX_X_(c_.lParam), AFX_Y_(c_.lParam)))
#define AFX_NOTIFY_ (static_cast<AFX_NOTIFY*>(c_.pExtra))

// Window messages.
#define ON_WM_CREATE() \
  AFX_WM(WM_CREATE, c_.lResult = p_->OnCreate(reinterpret_cast<LPCREATESTRUCT>(c_.lParam)))
#define ON_WM_NCCREATE() \
  AFX_WM(WM_NCCREATE, c_.lResult = p_->OnNcCreate(reinterpret_cast<LPCREATESTRUCT>(c_.lParam)))
#define ON_WM_DESTROY() AFX_WM(WM_DESTROY, p_->OnDestroy())
#define ON_WM_NCDESTROY() AFX_WM(WM_NCDESTROY, p_->OnNcDestroy())
#define ON_WM_CLOSE() AFX_WM(WM_CLOSE, p_->OnClose())
#define ON_WM_PAINT() AFX_WM(WM_PAINT, p_->OnPaint())
#define ON_WM_SIZE() \
  AFX_WM(WM_SIZE, p_->OnSize(static_cast<UINT>(c_.wParam), LOWORD(c_.lParam), HIWORD(c_.lParam)))
#define ON_WM_MOVE() AFX_WM(WM_MOVE, p_->OnMove(AFX_X_(c_.lParam), AFX_Y_(c_.lParam)))
#define ON_WM_SIZING()                                                                    \
  AFX_WM(WM_SIZING,                                                                       \
         p_->OnSizing(static_cast<UINT>(c_.wParam), reinterpret_cast<LPRECT>(c_.lParam)); \
         c_.lResult = TRUE)
#define ON_WM_GETMINMAXINFO() \
  AFX_WM(WM_GETMINMAXINFO, p_->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(c_.lParam)))
#define ON_WM_ERASEBKGND() \
  AFX_WM(WM_ERASEBKGND,    \
         c_.lResult = p_->OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(c_.wParam))))
#define ON_WM_CTLCOLOR()                                                     \
  AFX_WM(WM_CTLCOLOR, c_.lResult = reinterpret_cast<LRESULT>(p_->OnCtlColor( \
                          CDC::FromHandle(reinterpret_cast<HDC>(c_.wParam)), \
                          CWnd::FromHandle(reinterpret_cast<HWND>(c_.lParam)), c_.nID)))
// Handler HBRUSH CtlColor(CDC*, UINT nCtlColor); a null brush lets the parent decide.
#define ON_WM_CTLCOLOR_REFLECT()                                                                 \
  AFX_ENTRY(WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0, 0, nullptr,                                     \
            HBRUSH b_ = p_->CtlColor(CDC::FromHandle(reinterpret_cast<HDC>(c_.wParam)), c_.nID); \
            c_.lResult = reinterpret_cast<LRESULT>(b_); return b_ != nullptr)
#define ON_WM_SETCURSOR()                                                                  \
  AFX_WM(WM_SETCURSOR,                                                                     \
         c_.lResult = p_->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(c_.wParam)), \
                                      LOWORD(c_.lParam), HIWORD(c_.lParam)))
#define AFX_MOUSE_(msg, fn) AFX_WM(msg, p_->fn(static_cast<UINT>(c_.wParam), AFX_PT_))
#define ON_WM_MOUSEMOVE() AFX_MOUSE_(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MOUSE_(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MOUSE_(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_MOUSE_(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_MOUSE_(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_TIMER() AFX_WM(WM_TIMER, p_->OnTimer(static_cast<UINT_PTR>(c_.wParam)))
#define ON_WM_HSCROLL()                                                  \
  AFX_WM(WM_HSCROLL, p_->OnHScroll(LOWORD(c_.wParam), HIWORD(c_.wParam), \
                                   reinterpret_cast<CScrollBar*>(        \
                                       CWnd::FromHandle(reinterpret_cast<HWND>(c_.lParam)))))
#define ON_WM_VSCROLL()                                                  \
  AFX_WM(WM_VSCROLL, p_->OnVScroll(LOWORD(c_.wParam), HIWORD(c_.wParam), \
                                   reinterpret_cast<CScrollBar*>(        \
                                       CWnd::FromHandle(reinterpret_cast<HWND>(c_.lParam)))))
#define ON_WM_SYSCOMMAND() \
  AFX_WM(WM_SYSCOMMAND, p_->OnSysCommand(static_cast<UINT>(c_.wParam), c_.lParam))
#define ON_WM_QUERYDRAGICON() \
  AFX_WM(WM_QUERYDRAGICON, c_.lResult = reinterpret_cast<LRESULT>(p_->OnQueryDragIcon()))
#define ON_WM_INITMENUPOPUP()                                                       \
  AFX_WM(WM_INITMENUPOPUP,                                                          \
         p_->OnInitMenuPopup(CMenu::FromHandle(reinterpret_cast<HMENU>(c_.wParam)), \
                             LOWORD(c_.lParam), HIWORD(c_.lParam)))
#define ON_WM_CONTEXTMENU() \
  AFX_WM(WM_CONTEXTMENU,    \
         p_->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(c_.wParam)), AFX_PT_))
#define ON_WM_WINDOWPOSCHANGING() \
  AFX_WM(WM_WINDOWPOSCHANGING, p_->OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(c_.lParam)))
#define ON_WM_WINDOWPOSCHANGED() \
  AFX_WM(WM_WINDOWPOSCHANGED, p_->OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(c_.lParam)))
#define ON_WM_QUERYENDSESSION() AFX_WM(WM_QUERYENDSESSION, c_.lResult = p_->OnQueryEndSession())
#define ON_WM_ENDSESSION() AFX_WM(WM_ENDSESSION, p_->OnEndSession(static_cast<BOOL>(c_.wParam)))
#define ON_WM_DEVICECHANGE()                                                            \
  AFX_WM(WM_DEVICECHANGE, c_.lResult = p_->OnDeviceChange(static_cast<UINT>(c_.wParam), \
                                                          static_cast<DWORD_PTR>(c_.lParam)))
#define ON_WM_HELPINFO() \
  AFX_WM(WM_HELP, c_.lResult = p_->OnHelpInfo(reinterpret_cast<HELPINFO*>(c_.lParam)))
#define ON_WM_SHOWWINDOW() \
  AFX_WM(WM_SHOWWINDOW,    \
         p_->OnShowWindow(static_cast<BOOL>(c_.wParam), static_cast<UINT>(c_.lParam)))
#define ON_WM_SETFOCUS() \
  AFX_WM(WM_SETFOCUS, p_->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(c_.wParam))))
#define ON_WM_KILLFOCUS() \
  AFX_WM(WM_KILLFOCUS, p_->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(c_.wParam))))
#define ON_WM_NCHITTEST() AFX_WM(WM_NCHITTEST, c_.lResult = p_->OnNcHitTest(AFX_PT_))
#define ON_WM_SETTINGCHANGE() \
  AFX_WM(WM_SETTINGCHANGE,    \
         p_->OnSettingChange(static_cast<UINT>(c_.wParam), reinterpret_cast<LPCTSTR>(c_.lParam)))
#define ON_WM_KEYDOWN() \
  AFX_WM(WM_KEYDOWN,    \
         p_->OnKeyDown(static_cast<UINT>(c_.wParam), LOWORD(c_.lParam), HIWORD(c_.lParam)))
#define ON_WM_CHAR() \
  AFX_WM(WM_CHAR, p_->OnChar(static_cast<UINT>(c_.wParam), LOWORD(c_.lParam), HIWORD(c_.lParam)))
#define ON_WM_CAPTURECHANGED() \
  AFX_WM(WM_CAPTURECHANGED,    \
         p_->OnCaptureChanged(CWnd::FromHandle(reinterpret_cast<HWND>(c_.lParam))))
#define ON_WM_ENABLE() AFX_WM(WM_ENABLE, p_->OnEnable(static_cast<BOOL>(c_.wParam)))

// Any message: LRESULT fn(WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn)                                                   \
  AFX_ENTRY(message, 0, 0, 0, nullptr, c_.lResult = p_->memberFxn(c_.wParam, c_.lParam); \
            return TRUE)
// A message from RegisterWindowMessage; nMessageVariable is a static UINT.
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)        \
  AFX_ENTRY(AFX_REGISTERED_MESSAGE, 0, 0, 0, &(nMessageVariable), \
            c_.lResult = p_->memberFxn(c_.wParam, c_.lParam);     \
            return TRUE)

// Commands (menus, accelerators, BN_CLICKED of buttons): void fn().
#define ON_COMMAND(id, memberFxn) \
  AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, id, nullptr, p_->memberFxn(); return TRUE)
// BOOL fn(UINT id): FALSE lets routing go on.
#define ON_COMMAND_EX(id, memberFxn) \
  AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, id, nullptr, return p_->memberFxn(c_.nID))
// void fn(UINT id)
#define ON_COMMAND_RANGE(id, idLast, memberFxn) \
  AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, idLast, nullptr, p_->memberFxn(c_.nID); return TRUE)
// void fn(CCmdUI*)
#define ON_UPDATE_COMMAND_UI(id, memberFxn)                    \
  AFX_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, id, nullptr, \
            p_->memberFxn(static_cast<CCmdUI*>(c_.pExtra));    \
            return TRUE)
#define ON_UPDATE_COMMAND_UI_RANGE(id, idLast, memberFxn)          \
  AFX_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, idLast, nullptr, \
            p_->memberFxn(static_cast<CCmdUI*>(c_.pExtra));        \
            return TRUE)

// Control notifications through WM_COMMAND: void fn().
#define ON_CONTROL(code, id, memberFxn) \
  AFX_ENTRY(WM_COMMAND, static_cast<WORD>(code), id, id, nullptr, p_->memberFxn(); return TRUE)
#define ON_CONTROL_RANGE(code, id, idLast, memberFxn)                                        \
  AFX_ENTRY(WM_COMMAND, static_cast<WORD>(code), id, idLast, nullptr, p_->memberFxn(c_.nID); \
            return TRUE)
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_UPDATE(id, memberFxn) ON_CONTROL(EN_UPDATE, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_CBN_EDITUPDATE(id, memberFxn) ON_CONTROL(CBN_EDITUPDATE, id, memberFxn)
#define ON_CBN_DROPDOWN(id, memberFxn) ON_CONTROL(CBN_DROPDOWN, id, memberFxn)
#define ON_CBN_CLOSEUP(id, memberFxn) ON_CONTROL(CBN_CLOSEUP, id, memberFxn)
#define ON_CBN_SELENDOK(id, memberFxn) ON_CONTROL(CBN_SELENDOK, id, memberFxn)
#define ON_CBN_SELENDCANCEL(id, memberFxn) ON_CONTROL(CBN_SELENDCANCEL, id, memberFxn)
#define ON_CBN_KILLFOCUS(id, memberFxn) ON_CONTROL(CBN_KILLFOCUS, id, memberFxn)
#define ON_CBN_SETFOCUS(id, memberFxn) ON_CONTROL(CBN_SETFOCUS, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_STN_CLICKED(id, memberFxn) ON_CONTROL(STN_CLICKED, id, memberFxn)

// WM_NOTIFY: void fn(NMHDR*, LRESULT*); the id is the sender's control id.
#define ON_NOTIFY(code, id, memberFxn)                                \
  AFX_ENTRY(WM_NOTIFY, static_cast<WORD>(code), id, id, nullptr,      \
            p_->memberFxn(AFX_NOTIFY_->pNMHDR, AFX_NOTIFY_->pResult); \
            return TRUE)
// void fn(UINT id, NMHDR*, LRESULT*)
#define ON_NOTIFY_RANGE(code, id, idLast, memberFxn)                          \
  AFX_ENTRY(WM_NOTIFY, static_cast<WORD>(code), id, idLast, nullptr,          \
            p_->memberFxn(c_.nID, AFX_NOTIFY_->pNMHDR, AFX_NOTIFY_->pResult); \
            return TRUE)
// BOOL fn(UINT id, NMHDR*, LRESULT*): FALSE lets routing go on.
#define ON_NOTIFY_EX(code, id, memberFxn)                        \
  AFX_ENTRY(WM_NOTIFY, static_cast<WORD>(code), id, id, nullptr, \
            return p_->memberFxn(c_.nID, AFX_NOTIFY_->pNMHDR, AFX_NOTIFY_->pResult))
#define ON_NOTIFY_EX_RANGE(code, id, idLast, memberFxn)              \
  AFX_ENTRY(WM_NOTIFY, static_cast<WORD>(code), id, idLast, nullptr, \
            return p_->memberFxn(c_.nID, AFX_NOTIFY_->pNMHDR, AFX_NOTIFY_->pResult))

// Reflected to the control that sent them: void fn() / BOOL fn() (FALSE: parent handles too).
#define ON_CONTROL_REFLECT(code, memberFxn)                                                        \
  AFX_ENTRY(WM_REFLECT_BASE + WM_COMMAND, static_cast<WORD>(code), 0, 0, nullptr, p_->memberFxn(); \
            return TRUE)
#define ON_CONTROL_REFLECT_EX(code, memberFxn)                                    \
  AFX_ENTRY(WM_REFLECT_BASE + WM_COMMAND, static_cast<WORD>(code), 0, 0, nullptr, \
            return p_->memberFxn())
// void fn(NMHDR*, LRESULT*) / BOOL fn(NMHDR*, LRESULT*)
#define ON_NOTIFY_REFLECT(code, memberFxn)                                       \
  AFX_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, static_cast<WORD>(code), 0, 0, nullptr, \
            p_->memberFxn(AFX_NOTIFY_->pNMHDR, AFX_NOTIFY_->pResult);            \
            return TRUE)
#define ON_NOTIFY_REFLECT_EX(code, memberFxn)                                    \
  AFX_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, static_cast<WORD>(code), 0, 0, nullptr, \
            return p_->memberFxn(AFX_NOTIFY_->pNMHDR, AFX_NOTIFY_->pResult))
