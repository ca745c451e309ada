#include "uikit/PathParts.h"

// Split by hand rather than into fixed-size buffers: a component longer than the
// buffer would otherwise overrun it.
PathParts::PathParts(LPCWSTR lpszPath) {
  const CString path(lpszPath ? lpszPath : L"");
  int nStart = 0;
  if (path.GetLength() >= 2 && path[1] == L':') {
    m_drive = path.Left(2);
    nStart = 2;
  }
  int nName = nStart;
  for (int i = nStart; i < path.GetLength(); ++i) {
    if (path[i] == L'\\' || path[i] == L'/') nName = i + 1;
  }
  m_directory = path.Mid(nStart, nName - nStart);
  const CString name = path.Mid(nName);
  const int nDot = name.ReverseFind(L'.');
  if (nDot >= 0) {
    m_fileName = name.Left(nDot);
    m_extension = name.Mid(nDot);
  } else {
    m_fileName = name;
  }
}
