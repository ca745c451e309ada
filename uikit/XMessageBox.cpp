#include "uikit/XMessageBox.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr UINT kTimerTimeout = 1;
constexpr UINT kTimerDisabled = 2;
constexpr int kSlotMax = 100;  // characters per button text slot
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kStaticAtom = 0x0082;

// Button text slots: string id and built-in text.
struct Slot {
  UINT stringId;
  const wchar_t* text;
};
constexpr Slot kSlots[kXmbTextSlots] = {
    {9005, L"&Abort"},
    {9002, L"Cancel"},
    {9009, L"&Continue"},
    {9010, L"Don't ask me again"},
    {9011, L"Don't tell me again"},
    {9012, L"Don't show again"},
    {9006, L"&Help"},
    {9003, L"&Ignore"},
    {9017, L"I&gnore All"},
    {9008, L"&No"},
    {9014, L"N&o to All"},
    {9001, L"OK"},
    {9016, L"Re&port"},
    {9004, L"&Retry"},
    {9018, L"&Skip"},
    {9019, L"S&kip All"},
    {9015, L"&Try Again"},
    {9007, L"&Yes"},
    {9013, L"Y&es to All"},
};
enum SlotIndex {
  kAbort,
  kCancel,
  kContinue,
  kDontAsk,
  kDontTell,
  kDontShow,
  kHelp,
  kIgnore,
  kIgnoreAll,
  kNo,
  kNoToAll,
  kOK,
  kReport,
  kRetry,
  kSkip,
  kSkipAll,
  kTryAgain,
  kYes,
  kYesToAll,
};

struct Button {
  int id;
  int slot;
};

// The buttons of a set; Yes to All and No to All join the sets with Yes and No when asked.
std::vector<Button> ButtonSet(UINT style) {
  const bool yesAll = (style & kXmbYesToAll) != 0;
  const bool noAll = (style & kXmbNoToAll) != 0;
  auto yesNo = [&](bool withCancel) {
    std::vector<Button> b = {{IDYES, kYes}};
    if (yesAll) b.push_back({kXmbIdYesToAll, kYesToAll});
    b.push_back({IDNO, kNo});
    if (noAll) b.push_back({kXmbIdNoToAll, kNoToAll});
    if (withCancel) b.push_back({IDCANCEL, kCancel});
    return b;
  };
  switch (style & 0x0F) {
    case MB_OKCANCEL:
      return {{IDOK, kOK}, {IDCANCEL, kCancel}};
    case MB_ABORTRETRYIGNORE:
      return {{IDABORT, kAbort}, {IDRETRY, kRetry}, {IDIGNORE, kIgnore}};
    case MB_YESNOCANCEL:
      return yesNo(true);
    case MB_YESNO:
      return yesNo(false);
    case MB_RETRYCANCEL:
      return {{IDRETRY, kRetry}, {IDCANCEL, kCancel}};
    case MB_CANCELTRYCONTINUE:
      return {{IDCANCEL, kCancel}, {IDTRYAGAIN, kTryAgain}, {IDCONTINUE, kContinue}};
    case kXmbContinueAbort:
      return {{IDCONTINUE, kContinue}, {IDABORT, kAbort}};
    case kXmbSkipSkipAllCancel:
      return {{kXmbIdSkip, kSkip}, {kXmbIdSkipAll, kSkipAll}, {IDCANCEL, kCancel}};
    case kXmbIgnoreIgnoreAllCancel:
      return {{IDIGNORE, kIgnore}, {kXmbIdIgnoreAll, kIgnoreAll}, {IDCANCEL, kCancel}};
    default:
      return {{IDOK, kOK}};
  }
}

// Text or a string resource id, read up to 65535 characters.
CString TextOrResource(LPCTSTR text, HINSTANCE module) {
  if (!text) return CString();
  if (!IS_INTRESOURCE(text)) return CString(text);
  CString loaded;
  std::vector<wchar_t> buffer(65536);
  const int n = LoadStringW(module ? module : GetModuleHandleW(nullptr),
                            static_cast<UINT>(reinterpret_cast<UINT_PTR>(text)), buffer.data(),
                            static_cast<int>(buffer.size()));
  if (n > 0) loaded = CString(buffer.data(), n);
  return loaded;
}

BOOL LoadSmallString(HINSTANCE module, UINT id, CString& text, int maxChars) {
  std::vector<wchar_t> buffer(maxChars + 1);
  const int n = LoadStringW(module, id, buffer.data(), maxChars + 1);
  if (n <= 0) return FALSE;
  text = CString(buffer.data(), n);
  return TRUE;
}

CString Limit(const CString& s, int maxChars) {
  return s.GetLength() > maxChars ? CString(s.GetString(), maxChars) : s;
}

CString ProgramFileName() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const wchar_t* name = wcsrchr(path, L'\\');
  return CString(name ? name + 1 : path);
}

// HKCU\Software\<company>\<program file>\XMessageBox
CString AnswerKeyPath(const MessageBoxParams& p) {
  return CString(L"Software\\") + p.company + L"\\" + ProgramFileName() + L"\\XMessageBox";
}

BOOL CanRemember(const MessageBoxParams& p) {
  return p.callSiteModule && p.callSiteModule[0] && p.company[0];
}

BOOL ReadRememberedAnswer(const MessageBoxParams& p, DWORD& answer) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, AnswerKeyPath(p), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return FALSE;
  }
  DWORD type = 0, size = sizeof(answer);
  const LONG result = RegQueryValueExW(key, XmbAnswerValueName(p.callSiteModule, p.callSiteLine),
                                       nullptr, &type, reinterpret_cast<BYTE*>(&answer), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(answer);
}

void WriteRememberedAnswer(const MessageBoxParams& p, DWORD answer) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, AnswerKeyPath(p), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(key, XmbAnswerValueName(p.callSiteModule, p.callSiteLine), 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&answer), sizeof(answer));
  RegCloseKey(key);
}

BOOL IsWindowsAboveXP() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return FALSE;
#pragma GCC diagnostic pop
  return info.dwMajorVersion > 5;
}

BOOL IsButtonClass(HWND control) {
  wchar_t name[16] = L"";
  GetClassNameW(control, name, 16);
  return _wcsicmp(name, L"Button") == 0;
}

CString WindowText(HWND hwnd, int maxChars) {
  std::vector<wchar_t> buffer(maxChars + 1);
  const int n = GetWindowTextW(hwnd, buffer.data(), maxChars + 1);
  return CString(buffer.data(), std::max(n, 0));
}

}  // namespace

CString XmbAnswerValueName(LPCTSTR module, int line) {
  static const wchar_t kAlphabet[] =
      L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz98";
  CString name;
  for (int i = 0; module && module[i]; ++i) {
    name += kAlphabet[(5u * static_cast<unsigned>(i) + static_cast<unsigned>(module[i])) % 64];
  }
  CString number;
  number.Format(L"%d", line);
  return name + number;
}

MessageBoxParams::MessageBoxParams()
    : helpId(0),
      timeoutSeconds(0),
      disabledSeconds(0),
      x(0),
      y(0),
      options(0),
      stringModule(nullptr),
      iconModule(nullptr),
      iconId(0),
      iconName(),
      customButtonsId(0),
      customButtons(),
      reportCaptionId(0),
      reportCaption(),
      company(),
      callSiteModule(nullptr),
      callSiteLine(0),
      reportData(0),
      reportCallback(nullptr),
      textColor(static_cast<COLORREF>(-1)),
      backgroundColor(static_cast<COLORREF>(-1)),
      useUserCaptions(FALSE),
      userCaptions() {}

CXDialogItem::CXDialogItem(WORD classAtom, int id, const RECT& dialogUnits, DWORD style,
                           const CString& text)
    : m_classAtom(classAtom), m_id(id), m_rect(dialogUnits), m_style(style), m_text(text) {}

CXDialogTemplate::CXDialogTemplate(HWND owner, const CString& message, const CString& caption,
                                   UINT style, const MessageBoxParams& params)
    : m_owner(owner),
      m_message(message),
      m_caption(Limit(caption, 1023)),
      m_style(style),
      m_params(params) {
  const MessageBoxParams& p = m_params;
  const HINSTANCE strings = p.stringModule ? p.stringModule : GetModuleHandleW(nullptr);

  // Button texts: built-in, the report caption, then user captions or the string table.
  CString reportCaption;
  if (!(p.reportCaptionId &&
        LoadSmallString(strings, p.reportCaptionId, reportCaption, kSlotMax))) {
    reportCaption = p.reportCaption;
  }
  for (int i = 0; i < kXmbTextSlots; ++i) m_slots[i] = kSlots[i].text;
  if (!reportCaption.IsEmpty()) m_slots[kReport] = Limit(reportCaption, kSlotMax);
  if (p.useUserCaptions) {
    for (int i = 0; i < kXmbTextSlots; ++i) {
      if (!p.userCaptions[i][0]) continue;
      if (i == kReport && !reportCaption.IsEmpty()) continue;
      m_slots[i] = Limit(CString(p.userCaptions[i]), kSlotMax);
    }
  } else if (!(style & kXmbNoResources)) {
    for (int i = 0; i < kXmbTextSlots; ++i) {
      CString text;
      if (LoadSmallString(strings, kSlots[i].stringId, text, kSlotMax)) m_slots[i] = text;
    }
  }

  // The buttons: custom texts replace the set; Help and Report follow.
  std::vector<std::pair<int, CString>> buttons;
  CString custom;
  if (!(p.customButtonsId && LoadSmallString(strings, p.customButtonsId, custom, kXmbTextMax))) {
    custom = p.customButtons;
  }
  if (!custom.IsEmpty()) {
    int start = 0;
    while (start < custom.GetLength() && buttons.size() < 4) {
      int end = start;
      while (end < custom.GetLength() && custom[end] != L'\n') ++end;
      buttons.emplace_back(kXmbIdCustom1 + static_cast<int>(buttons.size()),
                           CString(custom.GetString() + start, end - start));
      start = end + 1;
    }
  } else {
    for (const Button& b : ButtonSet(style)) {
      buttons.emplace_back(b.id, m_slots[b.slot]);
      if (b.id == IDCANCEL) m_hasCancel = TRUE;
    }
    m_okOnly = buttons.size() == 1 && buttons[0].first == IDOK;
  }
  if (style & MB_HELP) buttons.emplace_back(kXmbIdHelp, m_slots[kHelp]);
  if (p.reportCallback) buttons.emplace_back(kXmbIdReport, m_slots[kReport]);
  const size_t defaultIndex = (style & 0xF00) >> 8;
  m_defaultId = buttons[defaultIndex < buttons.size() ? defaultIndex : 0].first;
  for (const auto& b : buttons) {
    if (b.first == m_defaultId) m_defaultText = b.second;
  }

  CString checkText;
  if (style & kXmbDontAskAgain)
    checkText = m_slots[kDontAsk];
  else if (style & kXmbDontTellAgain)
    checkText = m_slots[kDontTell];
  else if (style & kXmbDontShowAgain)
    checkText = m_slots[kDontShow];

  // The icon: a custom one from the block, else the system icon of the style.
  const HINSTANCE icons = p.iconModule ? p.iconModule : GetModuleHandleW(nullptr);
  if (p.iconId) {
    m_icon = LoadIconW(icons, MAKEINTRESOURCEW(p.iconId));
  } else if (p.iconName[0]) {
    m_icon = LoadIconW(icons, p.iconName);
  } else {
    switch (style & 0xF0) {
      case 0x00:
        break;
      case MB_ICONHAND:
        m_icon = LoadIconW(nullptr, IDI_HAND);
        break;
      case MB_ICONQUESTION:
        m_icon = LoadIconW(nullptr, IDI_QUESTION);
        break;
      case MB_ICONASTERISK:
        m_icon = LoadIconW(nullptr, IDI_ASTERISK);
        break;
      default:
        m_icon = LoadIconW(nullptr, IDI_EXCLAMATION);
        break;
    }
  }

  // Measure with the system message font.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  m_font = CreateFontIndirectW(&metrics.lfMessageFont);
  HDC dc = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  HGDIOBJ oldFont = SelectObject(dc, m_font);
  const LONG baseUnits = GetDialogBaseUnits();
  const int bx = LOWORD(baseUnits), by = HIWORD(baseUnits);
  const bool wide = (p.options & kXmbWide) != 0;
  int minButtonWidth = MulDiv(38, bx, 4), buttonHeight = MulDiv(12, by, 8);
  if (wide) {
    minButtonWidth += MulDiv(6, bx, 4);
    buttonHeight += MulDiv(1, by, 8);
  }
  const int checkHeight = MulDiv(10, by, 8);
  const int countdownRoom = MulDiv(13, bx, 4);
  auto textWidth = [dc](const CString& text) {
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE);
    return static_cast<int>(r.right - r.left);
  };

  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int maxWidth = (p.options & kXmbNarrow) ? screenWidth / 3
                 : wide                   ? screenWidth / 2 - 10
                                          : screenWidth / 2 + 80;
  const int iconWidth = m_icon ? GetSystemMetrics(SM_CXICON) : 0;
  const int iconHeight = m_icon ? GetSystemMetrics(SM_CYICON) : 0;
  if (m_icon) maxWidth -= iconWidth + 16;
  RECT text = {0, 0, std::max(maxWidth, 1), 0};
  DrawTextW(dc, m_message, -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  const int textW = text.right - text.left, textH = text.bottom - text.top;
  RECT messageRect = {16, wide ? 32 : 16, textW + 28, textH + (wide ? 61 : 29)};
  RECT iconRect = {0, 0, 0, 0};
  if (m_icon) {
    const int at = wide ? 24 : 8;
    iconRect = {at, at, at + iconWidth, at + iconHeight};
    OffsetRect(&messageRect, at + iconWidth, 0);
  }

  const int rowTop = std::max(messageRect.bottom, iconRect.bottom) +
                     ((m_icon || p.backgroundColor != static_cast<COLORREF>(-1)) ? 14 : 5);
  std::vector<int> widths;
  int rowWidth = 0;
  for (const auto& b : buttons) {
    int w = std::max(textWidth(b.second) + 20, minButtonWidth);
    if (p.timeoutSeconds) w += countdownRoom;
    widths.push_back(w);
    rowWidth += w;
  }
  rowWidth += 6 * static_cast<int>(buttons.size() - 1);
  const int checkWidth = checkText.IsEmpty() ? 0 : textWidth(checkText) + checkHeight;
  int boxWidth = std::max<int>(messageRect.right + 16, rowWidth + 32);
  if (checkWidth) boxWidth = std::max(boxWidth, 17 + checkWidth + 16);
  const int rowLeft =
      (p.options & kXmbRightJustify) ? boxWidth - 16 - rowWidth : (boxWidth - rowWidth) / 2;
  const int rowBottom = rowTop + buttonHeight;
  int boxHeight = rowBottom + 12;
  const int checkTop = rowBottom + 12;
  if (checkWidth) boxHeight = checkTop + checkHeight + 16;
  SelectObject(dc, oldFont);
  DeleteDC(dc);

  auto toUnits = [bx, by](const RECT& r) {
    return RECT{r.left * 4 / bx, r.top * 8 / by, r.right * 4 / bx, r.bottom * 8 / by};
  };
  if (m_icon) {
    m_items.push_back(new CXDialogItem(kStaticAtom, kXmbIdIcon, toUnits(iconRect),
                                       WS_CHILD | WS_VISIBLE, CString()));
  }
  m_items.push_back(new CXDialogItem(kStaticAtom, kXmbIdMessage, toUnits(messageRect),
                                     WS_CHILD | WS_VISIBLE, m_message));
  int x = rowLeft;
  for (size_t i = 0; i < buttons.size(); ++i) {
    const RECT r = {x, rowTop, x + widths[i], rowBottom};
    const DWORD bstyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                         (buttons[i].first == m_defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    m_items.push_back(
        new CXDialogItem(kButtonAtom, buttons[i].first, toUnits(r), bstyle, buttons[i].second));
    x += widths[i] + 6;
  }
  if (checkWidth) {
    const RECT r = {17, checkTop, 17 + checkWidth, checkTop + checkHeight};
    m_items.push_back(new CXDialogItem(kButtonAtom, kXmbIdCheckBox, toUnits(r),
                                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                       checkText));
  }
  m_boxSize = {boxWidth * 4 / bx, boxHeight * 8 / by};
  m_timeoutLeft = p.timeoutSeconds;
  m_disabledLeft = p.disabledSeconds;
  if (p.backgroundColor != static_cast<COLORREF>(-1)) {
    m_background = CreateSolidBrush(p.backgroundColor);
  }
}

CXDialogTemplate::~CXDialogTemplate() {
  for (CXDialogItem* item : m_items) delete item;
  if (m_font) DeleteObject(m_font);
  if (m_background) DeleteObject(m_background);
}

// The in-memory template: header, no menu, no class, the title, then each item aligned
// to 4 bytes (class by atom, text, no creation data).
HGLOBAL CXDialogTemplate::BuildTemplate() const {
  size_t bytes = sizeof(DLGTEMPLATE) + 4 + (m_caption.GetLength() + 1) * 2 + 4;
  for (const CXDialogItem* item : m_items) {
    bytes += sizeof(DLGITEMTEMPLATE) + 4 + 4 + (item->m_text.GetLength() + 1) * 2 + 2 + 4;
  }
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!memory) return nullptr;
  BYTE* base = static_cast<BYTE*>(GlobalLock(memory));
  if (!base) {
    GlobalFree(memory);
    return nullptr;
  }
  BYTE* at = base;
  auto words = [&at](const WORD* w, size_t n) {
    memcpy(at, w, n * 2);
    at += n * 2;
  };
  auto text = [&words](const CString& s) {
    words(reinterpret_cast<const WORD*>(s.GetString()), s.GetLength() + 1);
  };
  auto align = [&at, base] {
    while ((at - base) % 4) ++at;
  };

  auto* header = reinterpret_cast<DLGTEMPLATE*>(at);
  header->style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME;
  if (m_style & MB_SYSTEMMODAL) header->style |= DS_SYSMODAL;
  header->cdit = static_cast<WORD>(m_items.size());
  header->x = 0;
  header->y = 0;
  header->cx = static_cast<short>(m_boxSize.cx);
  header->cy = static_cast<short>(m_boxSize.cy);
  at += sizeof(DLGTEMPLATE);
  const WORD none[2] = {0, 0};
  words(none, 2);  // no menu, no class
  text(m_caption);
  for (const CXDialogItem* item : m_items) {
    align();
    auto* it = reinterpret_cast<DLGITEMTEMPLATE*>(at);
    it->style = item->m_style;
    it->x = static_cast<short>(item->m_rect.left);
    it->y = static_cast<short>(item->m_rect.top);
    it->cx = static_cast<short>(item->m_rect.right - item->m_rect.left);
    it->cy = static_cast<short>(item->m_rect.bottom - item->m_rect.top);
    it->id = static_cast<WORD>(item->m_id);
    at += sizeof(DLGITEMTEMPLATE);
    const WORD cls[2] = {0xFFFF, item->m_classAtom};
    words(cls, 2);
    text(item->m_text);
    words(none, 1);  // no creation data
  }
  GlobalUnlock(memory);
  return memory;
}

int CXDialogTemplate::Display() {
  HGLOBAL memory = BuildTemplate();
  if (!memory) return IDCANCEL;
  auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(GlobalLock(memory));
  if (!dialogTemplate) {
    GlobalFree(memory);
    return IDCANCEL;
  }
  m_result = -1;
  m_ended = FALSE;
  // The owner goes disabled before the box exists: the box is visible from its creation,
  // and nothing may reach the owner while it shows.
  const BOOL ownerWasEnabled = m_owner && IsWindowEnabled(m_owner);
  if (ownerWasEnabled) EnableWindow(m_owner, FALSE);
  HWND box = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, m_owner,
                                        DialogProc, reinterpret_cast<LPARAM>(this));
  GlobalUnlock(memory);
  GlobalFree(memory);
  if (!box) {
    if (ownerWasEnabled) EnableWindow(m_owner, TRUE);
    return m_result;
  }

  MSG msg;
  while (!m_ended) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == 'C' && (GetKeyState(VK_CONTROL) & 0x8000) &&
        (msg.hwnd == box || IsChild(box, msg.hwnd))) {
      CopyToClipboard();
      continue;
    }
    if (!IsDialogMessageW(box, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (ownerWasEnabled && IsWindow(m_owner)) EnableWindow(m_owner, TRUE);
  DestroyWindow(box);
  m_hwnd = nullptr;
  return m_result;
}

INT_PTR CALLBACK CXDialogTemplate::DialogProc(HWND hwnd, UINT msg, WPARAM wParam,
                                              LPARAM lParam) noexcept {
  try {
    CXDialogTemplate* self = nullptr;
    if (msg == WM_INITDIALOG) {
      self = reinterpret_cast<CXDialogTemplate*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self->m_hwnd = hwnd;
    } else {
      self = reinterpret_cast<CXDialogTemplate*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    return self ? self->OnMessage(msg, wParam, lParam) : FALSE;
  } catch (...) {
    return FALSE;
  }
}

// The icon static draws the box's icon at its top left corner.
LRESULT CALLBACK CXDialogTemplate::IconProc(HWND hwnd, UINT msg, WPARAM wParam,
                                            LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<CXDialogTemplate*>(GetWindowLongPtrW(GetParent(hwnd), DWLP_USER));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (self->m_icon) DrawIcon(dc, 0, 0, self->m_icon);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return CallWindowProcW(self->m_iconProc, hwnd, msg, wParam, lParam);
}

void CXDialogTemplate::SetCloseEnabled(BOOL enable) const {
  if (HMENU menu = GetSystemMenu(m_hwnd, FALSE)) {
    EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
  }
}

void CXDialogTemplate::OnInitDialog() {
  for (HWND child = GetWindow(m_hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
  }
  CheckDlgButton(m_hwnd, kXmbIdCheckBox, BST_UNCHECKED);
  SetFocus(GetDlgItem(m_hwnd, m_defaultId));
  if (HWND icon = GetDlgItem(m_hwnd, kXmbIdIcon)) {
    m_iconProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(icon, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(IconProc)));
  }
  if (m_disabledLeft > 0) {
    for (HWND child = GetWindow(m_hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const int id = GetDlgCtrlID(child);
      if (id >= 1 && id <= 26 && IsButtonClass(child)) EnableWindow(child, FALSE);
    }
    SetCloseEnabled(FALSE);
  }
  if (!m_hasCancel && !m_okOnly) SetCloseEnabled(FALSE);
  if (m_style & MB_TOPMOST) {
    SetWindowPos(m_hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  if (m_style & MB_SETFOREGROUND) SetForegroundWindow(m_hwnd);

  RECT box;
  GetWindowRect(m_hwnd, &box);
  const int w = box.right - box.left, h = box.bottom - box.top;
  int x = m_params.x, y = m_params.y;
  if (x == 0 && y == 0) {
    RECT around;
    if (!m_owner || !GetWindowRect(m_owner, &around)) {
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    }
    x = around.left + (around.right - around.left - w) / 2;
    y = around.top + (around.bottom - around.top - h) / 2;
  }
  SetWindowPos(m_hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  if (m_timeoutLeft > 0) {
    CString text;
    text.Format(L"%s = %d", m_defaultText.GetString(), m_timeoutLeft);
    SetDlgItemTextW(m_hwnd, m_defaultId, text);
    SetTimer(m_hwnd, kTimerTimeout, 1000, nullptr);
  }
  if (m_disabledLeft > 0) SetTimer(m_hwnd, kTimerDisabled, 1000, nullptr);
  SetForegroundWindow(m_hwnd);
}

void CXDialogTemplate::StopCountdown() {
  if (m_timeoutLeft <= 0) return;
  KillTimer(m_hwnd, kTimerTimeout);
  m_timeoutLeft = 0;
  SetDlgItemTextW(m_hwnd, m_defaultId, m_defaultText);
}

void CXDialogTemplate::OnTimer(UINT_PTR id) {
  if (id == kTimerTimeout && m_timeoutLeft > 0) {
    if (--m_timeoutLeft > 0) {
      CString text;
      text.Format(L"%s = %d", m_defaultText.GetString(), m_timeoutLeft);
      SetDlgItemTextW(m_hwnd, m_defaultId, text);
      return;
    }
    KillTimer(m_hwnd, kTimerTimeout);
    SetDlgItemTextW(m_hwnd, m_defaultId, m_defaultText);
    End(static_cast<int>(static_cast<UINT>(m_defaultId) | kXmbTimedOut));
  } else if (id == kTimerDisabled) {
    if (m_disabledLeft > 0) {
      CString text;
      text.Format(L"%s %d", m_caption.GetString(), m_disabledLeft--);
      SetWindowTextW(m_hwnd, text);
      return;
    }
    KillTimer(m_hwnd, kTimerDisabled);
    for (HWND child = GetWindow(m_hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const int control = GetDlgCtrlID(child);
      if (control >= 1 && control <= 26 && IsButtonClass(child)) EnableWindow(child, TRUE);
    }
    if (m_hasCancel || m_okOnly) SetCloseEnabled(TRUE);
    SetWindowTextW(m_hwnd, m_caption);
    RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
  }
}

void CXDialogTemplate::End(int result) {
  m_result = result;
  m_ended = TRUE;
}

void CXDialogTemplate::OnCommand(int id) {
  StopCountdown();
  if (id == IDCANCEL) {
    // Esc, and the close box: only boxes with Cancel or a lone OK may be closed so.
    if (m_hasCancel)
      End(IDCANCEL);
    else if (m_okOnly)
      End(IDOK);
    return;
  }
  if (id == kXmbIdCheckBox || id == kXmbIdMessage || id == kXmbIdIcon) return;
  if (id == kXmbIdHelp) {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (wchar_t* dot = wcsrchr(path, L'.')) *dot = 0;
    wcscat_s(path, L".hlp");
    if (m_params.helpId) {
      WinHelpW(m_hwnd, path, HELP_CONTEXT, m_params.helpId);
    } else {
      WinHelpW(m_hwnd, path, HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(L""));
    }
    return;
  }
  if (id == kXmbIdReport) {
    if (m_params.reportCallback) m_params.reportCallback(m_message, m_params.reportData);
    return;
  }
  UINT result = static_cast<UINT>(id);
  const BOOL checked = IsDlgButtonChecked(m_hwnd, kXmbIdCheckBox) == BST_CHECKED;
  if (checked) {
    result |= (m_style & kXmbDontAskAgain)    ? kXmbDontAskAgain
              : (m_style & kXmbDontTellAgain) ? kXmbDontTellAgain
                                              : kXmbDontShowAgain;
    if (CanRemember(m_params)) WriteRememberedAnswer(m_params, result);
  }
  End(static_cast<int>(result));
}

INT_PTR CXDialogTemplate::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInitDialog();
      return FALSE;  // the focus is set
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
      StopCountdown();
      return FALSE;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED || lParam == 0) OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_CTLCOLORDLG:
      if (m_background) return reinterpret_cast<INT_PTR>(m_background);
      return FALSE;
    case WM_CTLCOLORSTATIC:
      if (m_background) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const COLORREF textColor = m_params.textColor != static_cast<COLORREF>(-1)
                                       ? m_params.textColor
                                       : GetSysColor(COLOR_WINDOWTEXT);
        SetTextColor(dc, textColor);
        SetBkColor(dc, m_params.backgroundColor);
        return reinterpret_cast<INT_PTR>(m_background);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void CXDialogTemplate::CopyToClipboard() const {
  const CString line = L"---------------------------\r\n";
  CString text = line + Limit(WindowText(m_hwnd, 1000), 1000) + L"\r\n" + line +
                 Limit(m_message, 4000) + L"\r\n" + line;
  for (HWND child = GetWindow(m_hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsButtonClass(child)) continue;
    CString button = WindowText(child, 199);
    button.Remove(L'&');
    text += button + L"   ";
  }
  text += L"\r\n" + line;
  if (!OpenClipboard(m_hwnd)) return;
  EmptyClipboard();
  const size_t bytes = (text.GetLength() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* data = GlobalLock(memory)) {
      memcpy(data, text.GetString(), bytes);
      GlobalUnlock(memory);
      if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

int XMessageBox(HWND owner, LPCTSTR message, LPCTSTR caption, UINT style,
                const MessageBoxParams* params) {
  if (!owner) {
    owner = GetActiveWindow();
    if (owner) owner = GetLastActivePopup(owner);
  }
  MessageBoxParams block;
  if (params) block = *params;
  const CString text = TextOrResource(message, block.stringModule);
  CString title = TextOrResource(caption, block.stringModule);
  if (title.IsEmpty()) title = L"Error";
  if ((style & 0x10) && (style & MB_SYSTEMMODAL)) {
    return MessageBoxW(owner, text, title, style & 0x0000FFFF);
  }
  if ((style & kXmbCheckBoxMask) && CanRemember(block)) {
    DWORD answer = 0;
    if (ReadRememberedAnswer(block, answer)) return static_cast<int>(answer);
  }
  if (block.timeoutSeconds >= 1000) block.timeoutSeconds = 10;
  if (block.disabledSeconds >= 1000) block.disabledSeconds = 10;
  if (IsWindowsAboveXP()) block.options |= kXmbWide;

  CXDialogTemplate box(owner, text, title, style, block);
  if (!(style & kXmbNoSound)) MessageBeep(style & 0xF0);
  return box.Display();
}
