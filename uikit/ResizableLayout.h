// A percentage-based layout a window mixes in: each anchored control keeps its
// corners at percentage points of the layout rectangle plus fixed margins. All
// moves of one layout go into one deferred batch, and the background erase
// leaves out the controls that paint all of their own area.
//
// Also here: the size grip, the tracking-size limits and the placement string,
// the other small mix-ins of a resizable window.
#pragma once

#include <unordered_map>
#include <vector>

#include "framework/win/Controls.h"
#include "uikit/ResizeDlg.h"

// Anchors: percent of the layout rectangle's width and height.
inline constexpr SIZE kAnchorTopLeft{0, 0};
inline constexpr SIZE kAnchorTopRight{100, 0};
inline constexpr SIZE kAnchorBottomLeft{0, 100};
inline constexpr SIZE kAnchorBottomRight{100, 100};
inline constexpr SIZE kAnchorNone{-1, -1};  // as the second anchor: the same as the first

// "WMU_RESIZESUPPORT", registered at start-up. wParam one of the questions below,
// lParam the answer; a non-zero result means the control answered.
extern const UINT WMU_RESIZESUPPORT;
constexpr WPARAM RSZSUP_QUERYPROPERTIES = 101;  // lParam: RESIZEPROPERTIES*
constexpr WPARAM RSZSUP_LIKESCLIPPING = 102;    // lParam: BOOL*, preset FALSE
constexpr WPARAM RSZSUP_NEEDSREFRESH = 103;     // lParam: REFRESHPROPERTY*, answer preset TRUE

struct RESIZEPROPERTIES {
  BOOL askClipping;
  BOOL askRepaint;
  BOOL cachedClipping;
  BOOL cachedRepaint;
};

struct REFRESHPROPERTY {
  BOOL needsRepaint;
  RECT oldRect;
  RECT newRect;
};

// One anchored control, or a callback record (no window until its owner fills it).
struct LayoutInfo {
  HWND hWnd = nullptr;
  UINT callbackId = 0;
  CString className;
  SIZE anchorTopLeft{};
  SIZE marginTopLeft{};
  SIZE anchorBottomRight{};
  SIZE marginBottomRight{};
  BOOL answersResizeSupport = FALSE;
  RESIZEPROPERTIES properties{TRUE, TRUE, FALSE, FALSE};
};

class CResizableLayout {
 public:
  CResizableLayout() = default;
  virtual ~CResizableLayout() = default;

  void AnchorControl(HWND control, SIZE anchorTopLeft, SIZE anchorBottomRight = kAnchorNone);
  void AnchorControl(UINT id, SIZE anchorTopLeft, SIZE anchorBottomRight = kAnchorNone);
  void AddCallbackRecord(UINT callbackId);
  void ClearAnchors();
  void ApplyLayout();
  // The area of the layout window the background erase paints.
  void BuildClipRegion(CRgn* region);
  void FillBackground(CDC* pDC);

  // The rectangle an anchored record gets within the layout rectangle.
  static RECT CalcControlRect(const LayoutInfo& info, const RECT& layoutRect);
  const LayoutInfo* FindAnchor(HWND control) const;

 protected:
  virtual void QueryControlLayout(LayoutInfo& info);
  virtual BOOL CanClipControl(const LayoutInfo& info);
  virtual BOOL ControlNeedsRepaint(const LayoutInfo& info, const RECT& oldRect,
                                   const RECT& newRect);
  virtual void GetLayoutClientRect(RECT* rect);
  // Fills a callback record before each use; FALSE leaves it out.
  virtual BOOL UpdateCallbackAnchor(LayoutInfo& info);
  virtual CWnd* GetLayoutWindow() = 0;

  // SetWindowPos flags for moving one record, and its new rectangle.
  UINT CalcMove(const LayoutInfo& info, const RECT& layoutRect, RECT& newRect);

  std::unordered_map<HWND, size_t> m_anchorMap;
  std::vector<LayoutInfo> m_anchors;
  std::vector<LayoutInfo> m_callbacks;
};

// The size grip of a resizable window; shown while at least one reason holds.
class CResizableGrip {
 public:
  class CSizeGrip : public CSizeGripExt {};

  CResizableGrip() = default;
  virtual ~CResizableGrip();

  // Each reason is a bit of *status; the grip shows while any is set.
  void AddGripShowReason(DWORD* status, DWORD mask);
  void RemoveGripShowReason(DWORD* status, DWORD mask);
  void SetGripVisible(BOOL visible) { m_showCount = visible ? 1 : 0; }
  BOOL IsGripVisible() const { return m_showCount > 0; }
  void PlaceGrip();
  BOOL CreateGrip(BOOL visible, BOOL triangular);
  CSizeGrip& GetGrip() { return m_grip; }

 protected:
  virtual CWnd* GetResizableWnd() = 0;

  CSizeGrip m_grip;
  int m_showCount = 0;
};

// Limits of the window's tracking size.
class CResizableMinMax {
 public:
  void SetMinTrack(POINT size);
  void SetMaxTrack(POINT size);
  void ApplyMinMax(MINMAXINFO* info) const;

 protected:
  BOOL m_bUseMaxTrack = FALSE;
  BOOL m_bUseMinTrack = FALSE;
  BOOL m_bUseMaxRect = FALSE;
  POINT m_ptMinTrackSize{};
  POINT m_ptMaxTrackSize{};
  POINT m_ptMaxPos{};
  POINT m_ptMaxSize{};
};

// The window's rectangle as a profile string.
class CResizableState {
 public:
  virtual ~CResizableState() = default;
  // "left,top,right,bottom,showCmd,flags" into value "WindowPlacement" of the section.
  BOOL StorePlacementString(LPCWSTR section, BOOL rectOnly);

 protected:
  virtual CWnd* GetResizableWnd() = 0;
};
