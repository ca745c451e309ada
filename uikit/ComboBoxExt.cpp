// Type-ahead completion for an editable combo box.
#include "uikit/ComboBoxExt.h"

CComboBoxExt::CComboBoxExt() : autoComplete(TRUE) {}

CComboBoxExt::~CComboBoxExt() = default;

// clang-format off
BEGIN_MESSAGE_MAP(CComboBoxExt, CComboBox)
  ON_CONTROL_REFLECT(CBN_EDITUPDATE, OnEditUpdate)
  ON_CONTROL_REFLECT(CBN_KILLFOCUS, OnKillFocus)
END_MESSAGE_MAP()
// clang-format on

// The keys reach the combo box's edit field; the pre-translation walk passes them here
// first because the field is the box's child.
BOOL CComboBoxExt::PreTranslateMessage(MSG* pMsg) {
  if (pMsg->message == WM_KEYDOWN) {
    autoComplete = TRUE;
    switch (pMsg->wParam) {
      case VK_BACK:
      case VK_DELETE:
        // Deleting is not undone by completing the shortened text again.
        autoComplete = FALSE;
        break;
      case VK_ESCAPE:
        ShowDropDown(FALSE);
        return TRUE;
      default:
        break;
    }
  }
  return CComboBox::PreTranslateMessage(pMsg);
}

void CComboBoxExt::OnEditUpdate() {
  if (!autoComplete) return;
  CString text;
  GetWindowText(text);
  const int typed = text.GetLength();
  // An emptied field (cut, say) stays empty: every item begins with nothing.
  if (typed == 0) return;
  // Start in the low word, end in the high word; -1 in both when there is no selection.
  const DWORD sel = GetEditSel();
  const int selStart = static_cast<short>(LOWORD(sel));
  const int selEnd = static_cast<short>(HIWORD(sel));
  const bool selValid = selStart != -1 && selEnd != -1;

  // Selecting the first item that begins with the text also puts the whole item into the
  // edit field.
  if (SelectString(-1, text) == CB_ERR) {
    ShowDropDown(FALSE);
    SetWindowText(text);
    if (selValid) SetEditSel(selStart, selEnd);
  } else {
    ShowDropDown(TRUE);
  }

  // The caret inside the typed text stays where it was; otherwise the completed tail is
  // selected, so the next key typed replaces it.
  if (selValid && selEnd < typed) {
    SetEditSel(selStart, selEnd);
  } else {
    SetEditSel(typed, -1);
  }
}

void CComboBoxExt::OnKillFocus() { ShowDropDown(FALSE); }
