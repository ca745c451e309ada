// A server entry in an archive: host first, then port, time-out and level.
#include <gtest/gtest.h>

#include <vector>

#include "app/FreeDBServer.h"
#include "framework/core/Archive.h"
#include "framework/core/Exceptions.h"
#include "framework/core/File.h"

namespace {

CString TempFile(LPCWSTR name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return CString(folder) + name;
}

std::vector<BYTE> ReadBytes(const CString& path) {
  CFile file(path, CFile::modeRead);
  std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
  if (!bytes.empty()) file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

TEST(FreeDBServer, StoresHostFirstAndLoadsBack) {
  const CString path = TempFile(L"corvane-server-entry.bin");
  {
    CFile file(path, CFile::modeCreate | CFile::modeWrite);
    CArchive ar(&file, CArchive::store);
    CFreeDBServer entry(L"a", 80, 60000, 6);
    entry.Serialize(ar);
    ar.Close();
  }
  const std::vector<BYTE> expected = {0xFF, 0xFE, 0xFF, 0x01, 'a',  0x00, 0x50, 0x00, 0x00,
                                      0x00, 0x60, 0xEA, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00};
  EXPECT_EQ(expected, ReadBytes(path));

  CFreeDBServer loaded;
  {
    CFile file(path, CFile::modeRead);
    CArchive ar(&file, CArchive::load);
    loaded.Serialize(ar);
  }
  EXPECT_EQ(CString(L"a"), loaded.m_strHost);
  EXPECT_EQ(80, loaded.m_nPort);
  EXPECT_EQ(60000, loaded.m_nTimeout);
  EXPECT_EQ(6, loaded.m_nProtoLevel);

  // An archive that ends inside the entry is an end-of-file error, not a short entry.
  {
    CFile file(path, CFile::modeReadWrite);
    file.SetLength(expected.size() - 1);
  }
  CFile file(path, CFile::modeRead);
  CArchive ar(&file, CArchive::load);
  CFreeDBServer partial;
  int cause = CArchiveException::none;
  try {
    partial.Serialize(ar);
  } catch (CArchiveException* e) {
    cause = e->m_cause;
    e->Delete();
  }
  EXPECT_EQ(CArchiveException::endOfFile, cause);
  DeleteFileW(path);
}

TEST(FreeDBServer, CreatedByClassNameAndListedByTheDefault) {
  CObject* created = RUNTIME_CLASS(CFreeDBServer)->CreateObject();
  ASSERT_NE(nullptr, created);
  EXPECT_TRUE(created->IsKindOf(RUNTIME_CLASS(CFreeDBServer)));
  EXPECT_STREQ("CFreeDBServer", created->GetRuntimeClass()->m_lpszClassName);
  EXPECT_EQ(1u, created->GetRuntimeClass()->m_wSchema);
  delete created;

  AddDefaultFreeDBServer();
  ASSERT_EQ(1, g_serverList.GetSize());
  const CFreeDBServer* entry = static_cast<const CFreeDBServer*>(g_serverList.GetAt(0));
  EXPECT_EQ(CString(L"gnudb.gnudb.org"), entry->m_strHost);
  EXPECT_EQ(80, entry->m_nPort);
  EXPECT_EQ(60000, entry->m_nTimeout);
  EXPECT_EQ(6, entry->m_nProtoLevel);
  RemoveAllFreeDBServers();
  EXPECT_EQ(0, g_serverList.GetSize());
}

}  // namespace
