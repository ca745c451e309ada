#include "framework/core/Collections.h"

IMPLEMENT_DYNAMIC(CStringArray, CObject)

// Pointers have no meaning in a file.
void CObArray::Serialize(CArchive&) { AfxThrowNotSupportedException(); }

void CPtrArray::Serialize(CArchive&) { AfxThrowNotSupportedException(); }
