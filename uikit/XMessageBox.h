// A message box built from a dialog template in memory: custom and extra buttons, a
// "Don't ask me again" check box returned with the answer, a time-out that presses the
// default button, buttons disabled for a while, colours, a position, Ctrl+C.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/core/String.h"

// Style bits beyond the system message box's.
constexpr UINT kXmbContinueAbort = 7;          // button set: Continue, Abort
constexpr UINT kXmbSkipSkipAllCancel = 8;      // Skip, Skip All, Cancel
constexpr UINT kXmbIgnoreIgnoreAllCancel = 9;  // Ignore, Ignore All, Cancel
constexpr UINT kXmbDontAskAgain = 0x01000000;  // check box variants; also result bits
constexpr UINT kXmbDontTellAgain = 0x02000000;
constexpr UINT kXmbDontShowAgain = 0x04000000;
constexpr UINT kXmbCheckBoxMask = 0x07000000;
constexpr UINT kXmbYesToAll = 0x08000000;  // with the Yes/No sets
constexpr UINT kXmbNoToAll = 0x10000000;
constexpr UINT kXmbNoResources = 0x20000000;  // keep the built-in button texts
constexpr UINT kXmbNoSound = 0x40000000;

// Result bit: the time-out pressed the default button.
constexpr UINT kXmbTimedOut = 0x80000000;

// Button and control ids beyond the system's IDOK .. IDCONTINUE.
constexpr int kXmbIdSkip = 14;
constexpr int kXmbIdSkipAll = 15;
constexpr int kXmbIdIgnoreAll = 16;
constexpr int kXmbIdYesToAll = 19;
constexpr int kXmbIdNoToAll = 20;
constexpr int kXmbIdCustom1 = 23;  // custom buttons: 23 to 26
constexpr int kXmbIdHelp = 300;
constexpr int kXmbIdReport = 301;
constexpr int kXmbIdIcon = 1000;
constexpr int kXmbIdMessage = 1001;
constexpr int kXmbIdCheckBox = 5555;

constexpr int kXmbTextSlots = 19;
constexpr int kXmbTextMax = 260;

// Options word.
constexpr DWORD kXmbRightJustify = 1;
constexpr DWORD kXmbWide = 2;
constexpr DWORD kXmbNarrow = 4;

using XmbReportCallback = void (*)(LPCTSTR message, DWORD reportData);

struct MessageBoxParams {
  MessageBoxParams();

  UINT helpId;             // context for Help; 0: the keyword index
  int timeoutSeconds;      // presses the default button; 1000 or more become 10
  int disabledSeconds;     // buttons stay disabled; 1000 or more become 10
  int x, y;                // screen position; both 0: centred on the owner
  DWORD options;           // kXmbRightJustify, kXmbWide, kXmbNarrow
  HINSTANCE stringModule;  // string and icon resources; null: the program
  HINSTANCE iconModule;
  UINT iconId;  // a custom icon, else iconName when set
  TCHAR iconName[kXmbTextMax];
  UINT customButtonsId;              // string resource with the texts, else customButtons
  TCHAR customButtons[kXmbTextMax];  // "\n"-separated, at most 4 used
  UINT reportCaptionId;
  TCHAR reportCaption[kXmbTextMax];
  TCHAR company[kXmbTextMax];  // with callSiteModule: where an answer is remembered
  LPCTSTR callSiteModule;
  int callSiteLine;
  DWORD reportData;
  XmbReportCallback reportCallback;  // adds the Report button
  COLORREF textColor;                // -1: system colours
  COLORREF backgroundColor;
  BOOL useUserCaptions;
  TCHAR userCaptions[kXmbTextSlots][kXmbTextMax];  // one per text slot; empty keeps it
};

// One control of the template.
class CXDialogItem {
 public:
  CXDialogItem(WORD classAtom, int id, const RECT& dialogUnits, DWORD style, const CString& text);
  virtual ~CXDialogItem() = default;

  WORD m_classAtom;  // 0x0080 button, 0x0082 static
  int m_id;
  RECT m_rect;  // dialog units
  DWORD m_style;
  CString m_text;
};

// Lays out one box and runs it.
class CXDialogTemplate {
 public:
  CXDialogTemplate(HWND owner, const CString& message, const CString& caption, UINT style,
                   const MessageBoxParams& params);
  virtual ~CXDialogTemplate();
  CXDialogTemplate(const CXDialogTemplate&) = delete;
  CXDialogTemplate& operator=(const CXDialogTemplate&) = delete;

  // Creates the box, runs its loop and returns the result; -1 when it cannot be created,
  // 2 when the template cannot be made.
  int Display();

  const std::vector<CXDialogItem*>& Items() const { return m_items; }
  int DefaultButtonId() const { return m_defaultId; }
  const SIZE& BoxSize() const { return m_boxSize; }  // dialog units

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK IconProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnTimer(UINT_PTR id);
  void OnCommand(int id);
  void StopCountdown();
  void End(int result);
  void CopyToClipboard() const;
  void SetCloseEnabled(BOOL enable) const;
  HGLOBAL BuildTemplate() const;

  HWND m_owner;
  HWND m_hwnd = nullptr;
  CString m_message;
  CString m_caption;
  UINT m_style;
  MessageBoxParams m_params;
  std::vector<CXDialogItem*> m_items;
  CString m_slots[kXmbTextSlots];
  HFONT m_font = nullptr;
  HICON m_icon = nullptr;
  HBRUSH m_background = nullptr;
  SIZE m_boxSize = {0, 0};
  int m_defaultId = 1;
  CString m_defaultText;  // the default button's caption without the countdown
  BOOL m_hasCancel = FALSE;
  BOOL m_okOnly = FALSE;
  int m_timeoutLeft = 0;
  int m_disabledLeft = 0;
  BOOL m_ended = FALSE;
  int m_result = -1;
  WNDPROC m_iconProc = nullptr;
};

// Shows the box and returns the pressed button's id, with kXmbTimedOut when the
// time-out pressed it and the check box variant's bit when the box was checked.
// message and caption may be string resource ids (MAKEINTRESOURCE); a missing caption
// becomes "Error". owner null: the active window's last active pop-up.
int XMessageBox(HWND owner, LPCTSTR message, LPCTSTR caption = nullptr, UINT style = MB_OK,
                const MessageBoxParams* params = nullptr);

// The registry value name of a remembered answer: the module name mapped through a
// 64-character alphabet, then the line number.
CString XmbAnswerValueName(LPCTSTR module, int line);
