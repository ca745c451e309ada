// An editable drop-down combo box that completes typed text with the first list item
// that begins with it.
#pragma once

#include "framework/win/Controls.h"
#include "framework/win/MessageMap.h"

class CComboBoxExt : public CComboBox {
 public:
  CComboBoxExt();
  ~CComboBoxExt() override;

  // Esc closes the list and is consumed, so it does not close the dialog; Backspace and
  // Delete switch completion off until the next other key.
  BOOL PreTranslateMessage(MSG* pMsg) override;

  // Cleared by Backspace and Delete, set by every other key.
  BOOL autoComplete;

 protected:
  void OnEditUpdate();
  void OnKillFocus();
  DECLARE_MESSAGE_MAP()
};
