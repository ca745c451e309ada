#include <gtest/gtest.h>

#include "framework/core/Core.h"
#include "tests/framework/TestHelpers.h"

class CTestShape : public CObject {
  DECLARE_DYNAMIC(CTestShape)
};
IMPLEMENT_DYNAMIC(CTestShape, CObject)

class CTestCircle : public CTestShape {
  DECLARE_SERIAL(CTestCircle)
 public:
  int m_radius = 5;
};
IMPLEMENT_SERIAL(CTestCircle, CTestShape, 1)

class CTestSquare : public CTestShape {
  DECLARE_DYNCREATE(CTestSquare)
};
IMPLEMENT_DYNCREATE(CTestSquare, CTestShape)

namespace {

TEST(CRuntimeClass, CreatesRegisteredClassesByName) {
  CObject* p = CRuntimeClass::CreateObject("CTestCircle");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->GetRuntimeClass(), RUNTIME_CLASS(CTestCircle));
  EXPECT_TRUE(p->IsKindOf(RUNTIME_CLASS(CTestShape)));
  EXPECT_TRUE(p->IsKindOf(RUNTIME_CLASS(CObject)));
  EXPECT_FALSE(p->IsKindOf(RUNTIME_CLASS(CTestSquare)));
  EXPECT_EQ(static_cast<CTestCircle*>(p)->m_radius, 5);
  EXPECT_TRUE(p->IsSerializable());
  delete p;

  CObject* q = CRuntimeClass::CreateObject(L"CTestSquare");
  ASSERT_NE(q, nullptr);
  EXPECT_FALSE(q->IsSerializable());
  delete q;

  EXPECT_EQ(CRuntimeClass::CreateObject("CTestShape"), nullptr);  // not creatable
  EXPECT_EQ(CRuntimeClass::CreateObject("CNoSuchClass"), nullptr);
  EXPECT_EQ(CRuntimeClass::FromName("CTestCircle")->m_wSchema, 1u);
  EXPECT_EQ(CRuntimeClass::FromName(L"CFileException"), RUNTIME_CLASS(CFileException));
  EXPECT_STREQ(RUNTIME_CLASS(CTestSquare)->m_lpszClassName, "CTestSquare");
  EXPECT_EQ(RUNTIME_CLASS(CTestCircle)->m_nObjectSize, static_cast<int>(sizeof(CTestCircle)));
}

TEST(CException, PointerModelAndMessages) {
  CFileException* e = new CFileException(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CException)));
  e->Delete();

  // The out-of-memory exception is a static object: Delete() leaves it alone.
  for (int i = 0; i < 2; ++i) {
    try {
      AfxThrowMemoryException();
    } catch (CException* m) {
      EXPECT_TRUE(m->IsKindOf(RUNTIME_CLASS(CMemoryException)));
      EXPECT_FALSE(m->m_bAutoDelete);
      wchar_t text[64];
      EXPECT_TRUE(m->GetErrorMessage(text, 64));
      m->Delete();
    }
  }
  CArchiveException archive(CArchiveException::endOfFile);
  wchar_t text[256];
  UINT help = 99;
  EXPECT_TRUE(archive.GetErrorMessage(text, 256, &help));
  EXPECT_EQ(help, 0u);
  EXPECT_GT(wcslen(text), 0u);
}

}  // namespace
