// Mix-in for a page that the tree sheet may paint on a white frame: the page asks the
// flag when it colours its controls.
#pragma once

#include <windows.h>

namespace TreePropSheet {

class CWhiteBackgroundProvider {
 public:
  void SetWhiteBackground(BOOL white) { m_bHasWhiteBackground = white; }
  BOOL HasWhiteBackground() const { return m_bHasWhiteBackground; }

 protected:
  CWhiteBackgroundProvider() = default;
  ~CWhiteBackgroundProvider() = default;

  BOOL m_bHasWhiteBackground = FALSE;
};

}  // namespace TreePropSheet
