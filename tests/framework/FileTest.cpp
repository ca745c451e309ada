#include <gtest/gtest.h>

#include "framework/core/Core.h"
#include "tests/framework/TestHelpers.h"

namespace {

const std::vector<BYTE> kOldContent = {'o', 'l', 'd', '!'};

TEST(CFileOpen, FlagsMapToDispositionsOnRealFiles) {
  ScratchDir dir;
  struct Case {
    UINT flags;
    bool existing;  // the file is there, holding kOldContent, before the open
    bool opens;
    size_t lengthAfter;
  } cases[] = {
      {0x9011, true, true, 0},   // binary | create | exclusive | write: truncates
      {0x9011, false, true, 0},  // ... and creates
      {0x3011, true, true, 4},   // create | no-truncate | exclusive | write: keeps
      {0x3011, false, true, 0},
      {0x3001, true, true, 4},  // create | no-truncate | write
      {0x3001, false, true, 0},
      {CFile::modeCreate | CFile::modeWrite, true, true, 0},
      {CFile::modeRead, true, true, 4},
      {CFile::modeRead, false, false, 0},  // must exist
      {CFile::modeReadWrite, false, false, 0},
      {CFile::modeWrite | 0x200000, true, true, 4},  // unknown bits are ignored
  };
  int n = 0;
  for (const Case& c : cases) {
    CString path = dir.File(CString(L"f") + CString(static_cast<wchar_t>(L'a' + n++)));
    if (c.existing) WriteAllBytes(path, kOldContent);
    CFile file;
    CFileException error;
    EXPECT_EQ(file.Open(path, c.flags, &error) != FALSE, c.opens) << std::hex << c.flags;
    if (c.opens) {
      EXPECT_EQ(file.GetLength(), c.lengthAfter) << std::hex << c.flags;
      file.Close();
    } else {
      EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
      EXPECT_EQ(error.m_lOsError, ERROR_FILE_NOT_FOUND);
      EXPECT_STREQ(error.m_strFileName, path);
    }
    EXPECT_EQ(GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES, c.existing || c.opens);
  }
}

TEST(CFileOpen, SharingFlagsAreEnforced) {
  ScratchDir dir;
  CString path = dir.File(L"shared");
  struct Case {
    UINT first, second;
    bool secondOpens;
  } cases[] = {
      {0x3011, CFile::modeRead, false},  // exclusive
      {0x3001, CFile::modeRead, false},  // compatibility shares nothing
      {CFile::modeRead | CFile::shareDenyWrite, CFile::modeRead | CFile::shareDenyNone, true},
      {CFile::modeRead | CFile::shareDenyWrite, CFile::modeWrite | CFile::shareDenyNone, false},
      {CFile::modeWrite | CFile::shareDenyNone, CFile::modeRead | CFile::shareDenyNone, true},
  };
  WriteAllBytes(path, kOldContent);
  for (const Case& c : cases) {
    CFile first;
    ASSERT_TRUE(first.Open(path, c.first));
    CFile second;
    CFileException error;
    EXPECT_EQ(second.Open(path, c.second, &error) != FALSE, c.secondOpens)
        << std::hex << c.first << " then " << c.second;
    if (!c.secondOpens) {
      EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    }
  }
}

TEST(CFileException, GetErrorMessageIsTheSystemText) {
  ScratchDir dir;
  CString missing = dir.File(L"missing.cddb");
  CFile file;
  CFileException error;
  ASSERT_FALSE(file.Open(missing, CFile::modeRead, &error));

  wchar_t expected[1024] = {};
  ASSERT_NE(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           ERROR_FILE_NOT_FOUND, 0, expected, 1024, nullptr),
            0u);
  wchar_t text[1024];
  UINT help = 7;
  EXPECT_TRUE(error.GetErrorMessage(text, 1024, &help));
  EXPECT_STREQ(text, expected);
  EXPECT_EQ(help, 0u);

  CFileException none;  // no OS error: no text
  EXPECT_FALSE(none.GetErrorMessage(text, 1024));
  EXPECT_STREQ(text, L"");

  // The constructor form throws the same information.
  try {
    CFile thrown(missing, CFile::modeRead);
    ADD_FAILURE() << "no exception";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_lOsError, ERROR_FILE_NOT_FOUND);
    EXPECT_STREQ(e->m_strFileName, missing);
    e->Delete();
  }
}

TEST(CFile, ReadWriteSeek) {
  ScratchDir dir;
  CString path = dir.File(L"data.bin");
  {
    CFile f(path, CFile::modeCreate | CFile::modeReadWrite);
    f.Write("0123456789", 10);
    EXPECT_EQ(f.GetPosition(), 10u);
    EXPECT_EQ(f.Seek(-4, CFile::end), 6u);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 4u);
    EXPECT_STREQ(buf, "6789");
    EXPECT_EQ(f.Read(buf, 8), 0u);  // end of file is not an error
    f.SeekToBegin();
    EXPECT_EQ(f.Read(buf, 2), 2u);
    EXPECT_EQ(f.SeekToEnd(), 10u);
    f.SetLength(5);
    EXPECT_EQ(f.GetLength(), 5u);
    EXPECT_STREQ(f.GetFileName(), L"data.bin");
  }
  CFile readOnly(path, CFile::modeRead);
  EXPECT_TRUE(ThrowsFramework<CFileException>([&] { readOnly.Write("x", 1); }));
}

TEST(CStdioFile, TextModeTranslatesLineEnds) {
  ScratchDir dir;
  CString path = dir.File(L"list.m3u");
  {
    CStdioFile f;
    ASSERT_TRUE(f.Open(path, 0x3001));
    f.WriteString(L"01 One.mp3\n");
    f.WriteString(L"02 Two.mp3\n");
    f.Close();
  }
  std::vector<BYTE> bytes = ReadAllBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "01 One.mp3\r\n02 Two.mp3\r\n");

  {  // create | no-truncate keeps the lines; seek to the end appends
    CStdioFile f(path, 0x3001);
    f.SeekToEnd();
    f.WriteString(L"03 Three.mp3\n");
  }
  CStdioFile f(path, CFile::modeRead | CFile::typeText);
  CString line;
  std::vector<CString> lines;
  while (f.ReadString(line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_STREQ(lines[0], L"01 One.mp3");
  EXPECT_STREQ(lines[2], L"03 Three.mp3");
  EXPECT_TRUE(line.IsEmpty());
}

TEST(CStdioFile, BinaryModeMovesUtf16Unchanged) {
  ScratchDir dir;
  CString path = dir.File(L"wide.log");
  {
    CStdioFile f;
    ASSERT_TRUE(f.Open(path, 0x200000 | CFile::modeCreate | CFile::modeWrite | CFile::typeBinary));
    const WORD mark = 0xFEFF;
    f.Write(&mark, 2);
    f.WriteString(L"a\u00e9\r\n");
    EXPECT_EQ(f.GetPosition(), 10u);
  }
  std::vector<BYTE> bytes = ReadAllBytes(path);
  EXPECT_EQ(bytes, (std::vector<BYTE>{0xFF, 0xFE, 'a', 0, 0xE9, 0, '\r', 0, '\n', 0}));

  CStdioFile f(path, CFile::modeRead | CFile::typeBinary);
  f.Seek(2, CFile::begin);
  wchar_t buf[16];
  ASSERT_NE(f.ReadString(buf, 16), nullptr);
  EXPECT_STREQ(buf, L"a\u00e9\r\n");
  EXPECT_EQ(f.ReadString(buf, 16), nullptr);
}

TEST(CStdioFile, LongLinesReadWhole) {
  ScratchDir dir;
  CString path = dir.File(L"long.txt");
  CString longLine(L'x', 5000);
  {
    CStdioFile f(path, CFile::modeCreate | CFile::modeWrite);
    f.WriteString(longLine + L"\nlast");
  }
  CStdioFile f(path, CFile::modeRead);
  EXPECT_EQ(f.GetLength(), 5000u + 2u + 4u);
  CString line;
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(line.GetLength(), 5000);
  ASSERT_TRUE(f.ReadString(line));  // a last line without its "\n"
  EXPECT_STREQ(line, L"last");
  EXPECT_FALSE(f.ReadString(line));
}

TEST(CStdioFile, OpenFailureFillsTheException) {
  ScratchDir dir;
  CStdioFile f;
  CFileException error;
  EXPECT_FALSE(f.Open(dir.File(L"none.txt"), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(f.m_pStream, nullptr);
}

}  // namespace
