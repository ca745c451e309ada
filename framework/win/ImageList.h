// Image lists. A CImageList owns its HIMAGELIST unless it is a FromHandle
// temporary (per thread, freed at idle like the GDI temporaries).
#pragma once

#include <windows.h>
#include <commctrl.h>

class CDC;

class CImageList {
 public:
  HIMAGELIST m_hImageList = nullptr;

  CImageList() = default;
  virtual ~CImageList() { DeleteImageList(); }
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  operator HIMAGELIST() const { return m_hImageList; }
  HIMAGELIST GetSafeHandle() const { return m_hImageList; }

  BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow) {
    return Attach(ImageList_Create(cx, cy, nFlags, nInitial, nGrow));
  }
  BOOL Attach(HIMAGELIST hImageList) {
    if (!hImageList || m_hImageList) return FALSE;
    m_hImageList = hImageList;
    return TRUE;
  }
  HIMAGELIST Detach() {
    HIMAGELIST h = m_hImageList;
    m_hImageList = nullptr;
    return h;
  }
  BOOL DeleteImageList() {
    HIMAGELIST h = Detach();
    return h ? ImageList_Destroy(h) : FALSE;
  }

  int Add(HICON hIcon) { return ImageList_ReplaceIcon(m_hImageList, -1, hIcon); }
  int Add(HBITMAP hBitmap, COLORREF crMask) {
    return ImageList_AddMasked(m_hImageList, hBitmap, crMask);
  }
  int Replace(int nImage, HICON hIcon) {
    return ImageList_ReplaceIcon(m_hImageList, nImage, hIcon);
  }
  BOOL Remove(int nImage) { return ImageList_Remove(m_hImageList, nImage); }
  // The caller destroys the returned icon.
  HICON ExtractIcon(int nImage) const {
    return ImageList_ExtractIcon(nullptr, m_hImageList, nImage);
  }
  BOOL Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle);
  int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
  BOOL GetImageInfo(int nImage, IMAGEINFO* pImageInfo) const {
    return ImageList_GetImageInfo(m_hImageList, nImage, pImageInfo);
  }
  COLORREF SetBkColor(COLORREF cr) { return ImageList_SetBkColor(m_hImageList, cr); }

  static CImageList* FromHandle(HIMAGELIST hImageList);
};
