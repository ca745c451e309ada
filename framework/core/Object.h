// Root object and run-time class information.
#pragma once

#include <windows.h>

class CArchive;
class CObject;

// Describes one class: name, size, schema, how to create it, its base.
// Every IMPLEMENT_DYNAMIC/DYNCREATE/SERIAL class is linked into a registry during
// static initialisation, so it can be looked up and created by name.
struct CRuntimeClass {
  LPCSTR m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;                   // 0xFFFF when the class is not serialisable
  CObject* (*m_pfnCreateObject)();  // null unless DYNCREATE or SERIAL
  CRuntimeClass* m_pBaseClass;      // null for CObject
  CRuntimeClass* m_pNextClass;      // registry link, set by the registrar

  // A new heap object, or null when the class cannot be created dynamically.
  CObject* CreateObject() const;
  BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;

  // Registry lookups: null when no class of that name is registered.
  static CRuntimeClass* FromName(LPCSTR lpszClassName);
  static CRuntimeClass* FromName(LPCWSTR lpszClassName);
  static CObject* CreateObject(LPCSTR lpszClassName);
  static CObject* CreateObject(LPCWSTR lpszClassName);
};

// Links a class into the registry; one static instance per IMPLEMENT_ macro.
struct AFX_CLASSINIT {
  explicit AFX_CLASSINIT(CRuntimeClass* pNewClass);
};

class CObject {
 public:
  static CRuntimeClass classCObject;

  virtual CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;
  virtual void Serialize(CArchive& ar);  // the base stores nothing

  BOOL IsKindOf(const CRuntimeClass* pClass) const;
  BOOL IsSerializable() const;

 protected:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)       \
 public:                                  \
  static CRuntimeClass class##class_name; \
  CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
  static CObject* CreateObject();

#define DECLARE_SERIAL(class_name) DECLARE_DYNCREATE(class_name)

#define AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, schema, pfnNew)              \
  CRuntimeClass class_name::class##class_name = {#class_name,                                \
                                                 static_cast<int>(sizeof(class class_name)), \
                                                 schema,                                     \
                                                 pfnNew,                                     \
                                                 RUNTIME_CLASS(base_class_name),             \
                                                 nullptr};                                   \
  static AFX_CLASSINIT _init_##class_name(RUNTIME_CLASS(class_name));                        \
  CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
  AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)         \
  CObject* class_name::CreateObject() { return new class_name; } \
  AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)   \
  CObject* class_name::CreateObject() { return new class_name; } \
  AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, class_name::CreateObject)
