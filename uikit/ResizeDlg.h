// The base of the resizable dialogs: registered child controls follow the
// dialog's size by an anchor kind per edge, a size grip sits in the lower right
// corner, and the dialog cannot be made smaller than it opened.
#pragma once

#include <vector>

#include "framework/win/Controls.h"
#include "framework/win/Dialog.h"

// The size grip: a SBS_SIZEGRIP scroll bar that sizes its top-level parent,
// optionally clipped to a triangle so it does not cover what lies beside it.
class CSizeGripExt : public CScrollBar {
 public:
  BOOL CreateGrip(CWnd* parent, BOOL visible, BOOL triangular);
  void SetTriangular(BOOL on);
  // To the parent's lower right client corner, bottom of the z-order, shown
  // or hidden by the visible flag.
  void Reposition(CWnd* parent);

  int m_visible = 0;
  int m_cx = 0;
  int m_cy = 0;
  int m_triangular = 0;

 protected:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Anchor kinds, the same numbers for both axes.
enum : int {
  kAnchorFixed = 0,        // keeps position and size
  kAnchorStretch = 1,      // far edge follows the size change
  kAnchorMove = 2,         // both edges follow the size change
  kAnchorCentre = 3,       // centre stays at the same fraction of the client size
  kAnchorScale = 4,        // both edges scale with the client size
  kAnchorMoveAndGrow = 5,  // edges move by fractions of the change since the start
};

// AddControl flags.
constexpr UINT kAnchorClipOnErase = 0x1;
constexpr UINT kAnchorRepaintOnMove = 0x2;

struct AnchoredControl {
  UINT id;
  // Bits 0-3 left kind, 4-7 right, 8-11 top, 12-15 bottom; bit 16 clipOnErase,
  // bit 17 repaintOnMove.
  UINT anchors;
  RECT rect;  // dialog client co-ordinates
  double ratioX, growX, ratioY, growY;
};

class CResizeDlg : public CDialog {
 public:
  explicit CResizeDlg(UINT nIDTemplate, CWnd* pParent = nullptr);
  ~CResizeDlg() override;

  // id must name an existing child control. Call after CResizeDlg::OnInitDialog.
  // Kinds 3 and 4 compute their ratio from the control's centre; the passed
  // ratio is used by kind 5 only.
  void AddControl(UINT id, int leftKind, int rightKind, int topKind, int bottomKind, UINT flags = 0,
                  double ratioX = -1.0, double growX = -1.0, double ratioY = -1.0,
                  double growY = -1.0);

  BOOL OnInitDialog() override;

 protected:
  void OnSizing(UINT fwSide, LPRECT pRect);
  void OnSize(UINT nType, int cx, int cy);
  void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
  BOOL OnEraseBkgnd(CDC* pDC);
  DECLARE_MESSAGE_MAP()

  std::vector<AnchoredControl> m_controls;
  RECT m_previousClientRect{};  // screen co-ordinates; only the size is used
  RECT m_initialClientRect{};   // screen co-ordinates; only the size is used
  SIZE m_minTrackSize{0, 0};
  UINT m_sizingEdge = 0;  // WMSZ_* of the last WM_SIZING, 0 when none pending
  CSizeGripExt m_grip;

 private:
  // Adds the control's old and new rectangle to redraw when it moves it.
  HDWP PlaceControl(HDWP hdwp, AnchoredControl& control, UINT movingEdges, const RECT& newClient,
                    std::vector<RECT>& redraw);
  // The grip's rectangle in client co-ordinates; empty while it is hidden.
  RECT GripRect() const;
};
