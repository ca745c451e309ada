// A splitter between panes laid side by side (or stacked): the user drags the
// bars between them. Each pane keeps a share of the available length in units
// of 1/32768, so the panes keep their proportions when the splitter is resized,
// except frozen panes, which keep their length.
#pragma once

#include <vector>

#include "framework/win/Wnd.h"

namespace TreePropSheet {

class CTreePropSheetSplitter : public CWnd {
 public:
  enum { kSideBySide = 1, kStacked = 2 };
  static constexpr int kWhole = 32768;

  // minimums: one per pane, in pixels.
  CTreePropSheetSplitter(int paneCount, int orientation, const int* minimums, int barWidth);
  ~CTreePropSheetSplitter() override = default;

  BOOL CreateSplitter(CWnd* parent, const RECT& rect, UINT id);
  // Stores the window and moves it into its pane (no repaint).
  void SetPane(int index, CWnd* window);
  // Shares from sizes in pixels, one per pane; then lays the panes out.
  void SetPaneSizes(const int* sizes);
  void SetFrozen(const bool* frozen);
  void SetFullDrag(bool fullDrag) { m_bFullDrag = fullDrag; }
  void SetEnabled(bool enabled);
  bool IsEnabled() const { return m_bEnabled; }
  // The pane's rectangle in the parent's client co-ordinates.
  CRect GetPaneRect(int index) const;
  int GetPaneCount() const { return m_nPanes; }
  int GetFraction(int index) const { return m_fractions[static_cast<size_t>(index)]; }

  void LayoutPanes();
  void ApplyPanes();
  // The cursor over the bars for a state.
  static HCURSOR BarCursor(bool enabled, int orientation);

 protected:
  void OnPaint();
  void OnLButtonDown(UINT flags, CPoint point);
  void OnMouseMove(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnSize(UINT type, int cx, int cy);
  BOOL OnNcCreate(LPCREATESTRUCT cs);
  void OnWindowPosChanging(WINDOWPOS* pos);
  int OnCreate(LPCREATESTRUCT cs);
  DECLARE_MESSAGE_MAP()

  CRect SplitterRect() const;  // in the parent's client co-ordinates
  int Length(const RECT& rc) const;
  int Along(CPoint point) const;  // parent co-ordinate along the orientation
  int PaneLength(int index, int available) const;
  void DrawTracker();

  int m_nPanes;
  int m_nOrientation;
  int m_nBarWidth;
  int m_nDragBar = 0;
  int m_nDragPos = 0;
  int m_nTrackerLength = 0;
  int m_nGrabOffset = 0;
  std::vector<CWnd*> m_panes;
  std::vector<int> m_fractions;
  std::vector<int> m_positions;  // pane count + 1 entries
  std::vector<int> m_minimums;
  std::vector<BYTE> m_frozen;
  int m_nFrozen = 0;
  bool m_bFullDrag = false;
  bool m_bEnabled = true;
};

}  // namespace TreePropSheet
