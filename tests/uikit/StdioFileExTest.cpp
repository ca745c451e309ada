// The Unicode text file: marks, code pages, line ends and long lines, checked on
// the bytes of real files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/Exceptions.h"
#include "uikit/PathParts.h"
#include "uikit/StdioFileEx.h"

namespace {

using Bytes = std::vector<BYTE>;

class StdioFileExTest : public testing::Test {
 protected:
  StdioFileExTest() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    static int s_counter = 0;
    m_path.Format(L"%sstdiofileex_%lu_%d.txt", folder, GetCurrentProcessId(), ++s_counter);
    DeleteFileW(m_path);
  }
  ~StdioFileExTest() override { DeleteFileW(m_path); }

  Bytes FileBytes() const {
    Bytes bytes;
    HANDLE h =
        CreateFileW(m_path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(h, nullptr));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(h);
    bytes.resize(read);
    return bytes;
  }
  void WriteBytes(const Bytes& bytes) const {
    HANDLE h = CreateFileW(m_path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    if (!bytes.empty())
      WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
  }
  static Bytes Utf16(const std::wstring& text, bool mark) {
    Bytes out;
    if (mark) out = {0xFF, 0xFE};
    for (wchar_t ch : text) {
      out.push_back(BYTE(ch));
      out.push_back(BYTE(ch >> 8));
    }
    return out;
  }
  std::vector<CString> ReadLines(int codePage = CStdioFileEx::kAnsiCodePage) const {
    std::vector<CString> lines;
    CStdioFileEx file;
    file.SetCodePage(codePage);
    if (!file.Open(m_path, CFile::modeRead)) {
      ADD_FAILURE() << "open for reading failed";
      return lines;
    }
    CString line;
    while (file.ReadString(line)) lines.push_back(line);
    EXPECT_TRUE(line.IsEmpty());
    return lines;
  }

  static constexpr UINT kLogFlags =
      TextFileUnicodeFlag | CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite;
  CString m_path;
};

TEST_F(StdioFileExTest, LogFileGetsOneMarkAcrossWritesAndOpens) {
  ASSERT_EQ(kLogFlags, 0x203001u);
  {
    CStdioFileEx log;
    ASSERT_TRUE(log.Open(m_path, kLogFlags));
    log.SeekToEnd();
    log.WriteString(L"# 1 10:00:00 Start\r\n");
    log.WriteString(L"\u4e2d\r\n");
    log.Close();
  }
  {
    // Opened again as the log does: appended, no second mark.
    CStdioFileEx log;
    ASSERT_TRUE(log.Open(m_path, kLogFlags));
    log.SeekToEnd();
    log.WriteString(L"# 2 10:00:01 Again\r\n");
  }
  EXPECT_EQ(FileBytes(), Utf16(L"# 1 10:00:00 Start\r\n\u4e2d\r\n# 2 10:00:01 Again\r\n", true));

  const std::vector<CString> lines = ReadLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], L"# 1 10:00:00 Start");
  EXPECT_EQ(lines[1], L"\u4e2d");
  EXPECT_EQ(lines[2], L"# 2 10:00:01 Again");
}

TEST_F(StdioFileExTest, Utf8FileStartsWithItsMark) {
  {
    CStdioFileEx file;
    file.SetCodePage(CStdioFileEx::kUtf8CodePage);
    ASSERT_TRUE(file.Open(m_path, CFile::modeCreate | CFile::modeWrite));
    file.WriteString(L"abc");
  }
  EXPECT_EQ(FileBytes(), (Bytes{0xEF, 0xBB, 0xBF, 0x61, 0x62, 0x63}));
  {
    CStdioFileEx file;
    file.SetCodePage(CStdioFileEx::kUtf8CodePage);
    ASSERT_TRUE(file.Open(m_path, CFile::modeCreate | CFile::modeWrite));
    file.WriteString(L"\u00e9\u4e2d\n");
    file.WriteString(L"two");
  }
  EXPECT_EQ(FileBytes(),
            (Bytes{0xEF, 0xBB, 0xBF, 0xC3, 0xA9, 0xE4, 0xB8, 0xAD, 0x0A, 't', 'w', 'o'}));
  const std::vector<CString> lines = ReadLines(CStdioFileEx::kUtf8CodePage);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"\u00e9\u4e2d");
  EXPECT_EQ(lines[1], L"two");

  // A UTF-8 file without the mark keeps its first bytes.
  WriteBytes({'a', 'b', 'c', 'd', '\n'});
  const std::vector<CString> plain = ReadLines(CStdioFileEx::kUtf8CodePage);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0], L"abcd");
}

TEST_F(StdioFileExTest, AnsiFileReplacesMissingCharactersWithHash) {
  {
    CStdioFileEx file;
    ASSERT_TRUE(file.Open(m_path, CFile::modeCreate | CFile::modeWrite));
    file.WriteString(L"a\u4e2db\r\n");
  }
  EXPECT_EQ(FileBytes(), (Bytes{'a', '#', 'b', '\r', '\n'}));  // no mark either
  const std::vector<CString> lines = ReadLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], L"a#b");
}

TEST_F(StdioFileExTest, MarkDecidesOnReading) {
  // UTF-16 text without its mark reads as 8-bit text: every second byte is a NUL.
  WriteBytes(Utf16(L"hi\n", false));
  std::vector<CString> lines = ReadLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], L"h");

  WriteBytes(Utf16(L"hi\nthere", true));
  lines = ReadLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"hi");
  EXPECT_EQ(lines[1], L"there");

  // The flag alone does not make a markless file UTF-16.
  WriteBytes({'x', 'y', '\n'});
  CStdioFileEx file;
  ASSERT_TRUE(file.Open(m_path, CFile::modeRead | TextFileUnicodeFlag));
  EXPECT_FALSE(file.IsUnicodeText());
  CString line;
  EXPECT_TRUE(file.ReadString(line));
  EXPECT_EQ(line, L"xy");
}

TEST_F(StdioFileExTest, LineEnds) {
  struct Case {
    std::wstring text;
    std::vector<std::wstring> lines;
  };
  const Case cases[] = {
      {L"one\r\ntwo\r\n", {L"one", L"two"}},
      {L"one\ntwo", {L"one", L"two"}},  // last line without LF
      {L"\r\n\n", {L"", L""}},
      {L"a\r\r\n", {L"a\r"}},  // only one CR is dropped
      {L"a\rb\n", {L"a\rb"}},
      {L"", {}},
  };
  for (const Case& c : cases) {
    for (bool unicode : {true, false}) {
      if (unicode) {
        WriteBytes(Utf16(c.text, true));
      } else {
        WriteBytes(Bytes(c.text.begin(), c.text.end()));
      }
      const std::vector<CString> lines = ReadLines();
      ASSERT_EQ(lines.size(), c.lines.size()) << (unicode ? "UTF-16 " : "ANSI ") << c.lines.size();
      for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], c.lines[i].c_str());
    }
  }
}

TEST_F(StdioFileExTest, LongLinesComeBackWhole) {
  std::wstring longLine;
  for (int i = 0; i < 5000; ++i) longLine += static_cast<wchar_t>(L'a' + i % 26);
  const std::wstring lengths[] = {std::wstring(4095, L'x'), std::wstring(4096, L'y'),
                                  std::wstring(4223, L'z'), longLine, std::wstring(40000, L'w')};
  for (bool unicode : {true, false}) {
    for (const std::wstring& text : lengths) {
      {
        CStdioFileEx file;
        ASSERT_TRUE(file.Open(
            m_path, CFile::modeCreate | CFile::modeWrite | (unicode ? TextFileUnicodeFlag : 0)));
        file.WriteString(text.c_str());
        file.WriteString(L"\r\nnext\r\n");
      }
      const std::vector<CString> lines = ReadLines();
      ASSERT_EQ(lines.size(), 2u) << text.size();
      EXPECT_EQ(lines[0].GetLength(), static_cast<int>(text.size()));
      EXPECT_EQ(lines[0], text.c_str());
      EXPECT_EQ(lines[1], L"next");
    }
  }
}

TEST_F(StdioFileExTest, LineIsCutAtItsFirstNul) {
  WriteBytes(Utf16(std::wstring(L"ab\0cd\r\nnext\n", 12), true));
  const std::vector<CString> lines = ReadLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"ab");
  EXPECT_EQ(lines[1], L"next");
}

TEST_F(StdioFileExTest, SeekBackToStartSkipsTheMarkAgain) {
  WriteBytes(Utf16(L"first\nsecond\n", true));
  CStdioFileEx file;
  ASSERT_TRUE(file.Open(m_path, CFile::modeRead));
  CString line;
  ASSERT_TRUE(file.ReadString(line));
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(line, L"second");
  EXPECT_FALSE(file.ReadString(line));
  file.SeekToBegin();
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(line, L"first");
}

TEST_F(StdioFileExTest, OpenFailureFillsTheException) {
  CStdioFileEx file;
  CFileException error;
  EXPECT_FALSE(file.Open(L"Z:\\no\\such\\folder\\file.txt", CFile::modeRead, &error));
  EXPECT_NE(error.m_cause, CFileException::none);
}

TEST(PathParts, Splits) {
  struct Case {
    const wchar_t* path;
    const wchar_t* drive;
    const wchar_t* directory;
    const wchar_t* name;
    const wchar_t* extension;
  };
  const Case cases[] = {
      {L"C:\\Program Files\\Corvane\\Corvane.exe", L"C:", L"\\Program Files\\Corvane\\", L"Corvane",
       L".exe"},
      {L"C:Corvane.exe", L"C:", L"", L"Corvane", L".exe"},
      {L"\\\\server\\share\\tips.tip", L"", L"\\\\server\\share\\", L"tips", L".tip"},
      {L"D:/music/a.b.c", L"D:", L"/music/", L"a.b", L".c"},
      {L"C:\\dir.x\\noext", L"C:", L"\\dir.x\\", L"noext", L""},
      {L"", L"", L"", L"", L""},
  };
  for (const Case& c : cases) {
    const PathParts parts(c.path);
    EXPECT_EQ(parts.GetDrive(), c.drive) << c.path;
    EXPECT_EQ(parts.GetDirectory(), c.directory) << c.path;
    EXPECT_EQ(parts.GetFileName(), c.name) << c.path;
    EXPECT_EQ(parts.GetExtension(), c.extension) << c.path;
  }
  // A directory far longer than any fixed buffer stays whole.
  const CString longDir = L"\\" + CString(L'd', 600) + L"\\";
  const PathParts parts(L"C:" + longDir + L"Corvane.exe");
  EXPECT_EQ(parts.GetDirectory(), longDir);
  EXPECT_EQ(parts.GetFileName(), L"Corvane");
}

}  // namespace
