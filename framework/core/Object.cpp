#include "framework/core/Object.h"

#include <string.h>

#include "framework/core/String.h"

namespace {

// Filled by AFX_CLASSINIT during static initialisation only (one thread), read after.
// Zero-initialised before any dynamic initialiser runs, so order between files is safe.
CRuntimeClass* g_pFirstClass = nullptr;

}  // namespace

CRuntimeClass CObject::classCObject = {
    "CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr, nullptr, nullptr};
static AFX_CLASSINIT _init_CObject(&CObject::classCObject);

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* pNewClass) {
  pNewClass->m_pNextClass = g_pFirstClass;
  g_pFirstClass = pNewClass;
}

CObject* CRuntimeClass::CreateObject() const {
  if (!m_pfnCreateObject) return nullptr;
  return m_pfnCreateObject();
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
  for (const CRuntimeClass* p = this; p; p = p->m_pBaseClass) {
    if (p == pBaseClass) return TRUE;
  }
  return FALSE;
}

CRuntimeClass* CRuntimeClass::FromName(LPCSTR lpszClassName) {
  if (!lpszClassName) return nullptr;
  for (CRuntimeClass* p = g_pFirstClass; p; p = p->m_pNextClass) {
    if (strcmp(p->m_lpszClassName, lpszClassName) == 0) return p;
  }
  return nullptr;
}

CRuntimeClass* CRuntimeClass::FromName(LPCWSTR lpszClassName) {
  if (!lpszClassName) return nullptr;
  // Class names are identifiers: plain ASCII.
  CStringA name = AfxWideToMultiByte(lpszClassName, -1, CP_UTF8);
  return FromName(name.GetString());
}

CObject* CRuntimeClass::CreateObject(LPCSTR lpszClassName) {
  CRuntimeClass* p = FromName(lpszClassName);
  return p ? p->CreateObject() : nullptr;
}

CObject* CRuntimeClass::CreateObject(LPCWSTR lpszClassName) {
  CRuntimeClass* p = FromName(lpszClassName);
  return p ? p->CreateObject() : nullptr;
}

CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

void CObject::Serialize(CArchive&) {}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
  return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CObject::IsSerializable() const { return GetRuntimeClass()->m_wSchema != 0xFFFF; }
