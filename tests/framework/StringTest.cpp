#include <gtest/gtest.h>

#include "framework/core/Core.h"
#include "tests/framework/TestHelpers.h"

namespace {

template <typename... Args>
CString Fmt(LPCWSTR format, const Args&... args) {
  CString s;
  s.Format(format, args...);
  return s;
}

TEST(CStringFormat, FormatsAsTheSystemLibraryDoes) {
  const CString owned(L"owned");
  struct Case {
    CString got;
    LPCWSTR want;
  } cases[] = {
      {Fmt(L"%s", L"abc"), L"abc"},
      {Fmt(L"[%s]", owned), L"[owned]"},  // a CString argument goes in as its text
      {Fmt(L"%hs", "narrow"), L"narrow"},
      {Fmt(L"%d", -5), L"-5"},
      {Fmt(L"%u", 4294967295u), L"4294967295"},
      {Fmt(L"%x", 255), L"ff"},
      {Fmt(L"%08x", 0x06019002u), L"06019002"},
      {Fmt(L"%c", L'Z'), L"Z"},
      {Fmt(L"%02d", 7), L"07"},
      {Fmt(L"#%3d ", 5), L"#  5 "},
      {Fmt(L"%5d", 42), L"   42"},
      {Fmt(L"%5.2lf", 3.14159), L" 3.14"},
      {Fmt(L"%.2f", 2.5), L"2.50"},
      {Fmt(L"%lu", 123456789ul), L"123456789"},
      {Fmt(L"%I64d", -1234567890123LL), L"-1234567890123"},
      {Fmt(L"100%%"), L"100%"},
      {Fmt(L"%s (%d)%s", L"C:\\a\\b", 2, L".mp3"), L"C:\\a\\b (2).mp3"},
      {Fmt(L"Track%02d", 3), L"Track03"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.got, c.want);
}

TEST(CStringFormat, LongResultsAndAppending) {
  CString big(L'x', 5000);
  CString s;
  s.Format(L"<%s>", big);
  EXPECT_EQ(s.GetLength(), 5002);
  s.AppendFormat(L"%d-%s", 12, L"end");
  EXPECT_EQ(s.Right(6), CString(L"12-end"));
  s.Format(L"");
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringTrim, TrimsWhiteSpaceAndTargets) {
  struct Case {
    LPCWSTR in, both, left, right;
  } cases[] = {
      {L"", L"", L"", L""},
      {L"   ", L"", L"", L""},
      {L"abc", L"abc", L"abc", L"abc"},
      {L"  a b  ", L"a b", L"a b  ", L"  a b"},
      {L"\t\r\n x \r\n", L"x", L"x \r\n", L"\t\r\n x"},
  };
  for (const Case& c : cases) {
    CString both(c.in), left(c.in), right(c.in);
    EXPECT_STREQ(both.Trim(), c.both) << c.in;
    EXPECT_STREQ(left.TrimLeft(), c.left) << c.in;
    EXPECT_STREQ(right.TrimRight(), c.right) << c.in;
  }
  CString s(L"\\\\dir\\\\");
  EXPECT_STREQ(s.TrimRight(L'\\'), L"\\\\dir");
  EXPECT_STREQ(s.TrimLeft(L"\\"), L"dir");
}

TEST(CStringFind, FindsFromAStart) {
  struct Case {
    LPCWSTR hay, needle;
    int start, want;
  } cases[] = {
      {L"abcabc", L"bc", 0, 1}, {L"abcabc", L"bc", 2, 4}, {L"abcabc", L"bc", 5, -1},
      {L"abcabc", L"x", 0, -1}, {L"abc", L"", 0, 0},      {L"abc", L"a", -1, -1},
      {L"abc", L"a", 99, -1},   {L"", L"a", 0, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(CString(c.hay).Find(c.needle, c.start), c.want) << c.hay;

  CString path(L"C:\\Music\\Album\\01.wav");
  EXPECT_EQ(path.Find(L'\\'), 2);
  EXPECT_EQ(path.Find(L'\\', 3), 8);
  EXPECT_EQ(path.ReverseFind(L'\\'), 14);
  EXPECT_EQ(path.ReverseFind(L'/'), -1);
  EXPECT_EQ(path.FindOneOf(L"./"), 17);
}

TEST(CStringReplace, ReplacesEveryMatchAndCounts) {
  struct Case {
    LPCWSTR in, from, to, want;
    int count;
  } cases[] = {
      {L"a/b/c", L"/", L"\\", L"a\\b\\c", 2},
      {L"aaa", L"aa", L"b", L"ba", 1},  // matches do not overlap
      {L"abc", L"x", L"y", L"abc", 0},
      {L"abc", L"", L"y", L"abc", 0},
      {L"a<b>c", L"<b>", L"", L"ac", 1},
      {L"xx", L"x", L"xx", L"xxxx", 2},  // the new text is not searched again
  };
  for (const Case& c : cases) {
    CString s(c.in);
    EXPECT_EQ(s.Replace(c.from, c.to), c.count) << c.in;
    EXPECT_STREQ(s, c.want) << c.in;
  }
  CString s(L"a?b?c");
  EXPECT_EQ(s.Replace(L'?', L'_'), 2);
  EXPECT_STREQ(s, L"a_b_c");
}

TEST(CStringParts, LeftMidRightClampAndIndexThrows) {
  CString s(L"abcdef");
  EXPECT_STREQ(s.Left(2), L"ab");
  EXPECT_STREQ(s.Left(99), L"abcdef");
  EXPECT_STREQ(s.Left(-1), L"");
  EXPECT_STREQ(s.Mid(4), L"ef");
  EXPECT_STREQ(s.Mid(2, 2), L"cd");
  EXPECT_STREQ(s.Mid(10), L"");
  EXPECT_STREQ(s.Right(2), L"ef");
  EXPECT_STREQ(s.Right(10), L"abcdef");
  EXPECT_EQ(s[0], L'a');
  EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)s.GetAt(6); }));
  EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)s.GetAt(-1); }));
  EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { s.SetAt(6, L'x'); }));
}

TEST(CStringBuffer, GetBufferAndRelease) {
  CString s;
  wchar_t* p = s.GetBuffer(MAX_PATH);
  wcscpy(p, L"C:\\dir");
  s.ReleaseBuffer();
  EXPECT_STREQ(s, L"C:\\dir");
  EXPECT_EQ(s.GetLength(), 6);

  p = s.GetBufferSetLength(3);
  p[2] = L'X';
  s.ReleaseBuffer(3);
  EXPECT_STREQ(s, L"C:X");
}

TEST(CStringCompare, OperatorsAndConcatenation) {
  CString a(L"abc");
  EXPECT_TRUE(a == L"abc");
  EXPECT_TRUE(a != CString(L"abd"));
  EXPECT_TRUE(a < CString(L"abd"));
  EXPECT_EQ(a.CompareNoCase(L"ABC"), 0);
  EXPECT_STREQ(a + L"-" + CString(L"d") + L'e', L"abc-de");
  CString copy = a;
  copy.SetAt(0, L'z');
  EXPECT_STREQ(a, L"abc");  // copies never share their characters
}

TEST(CStringConversion, AnsiAndUtf8) {
  const wchar_t* text = L"Caf\u00e9 \u65e5\u672c \u00dcber";
  CStringA utf8 = AfxWideToMultiByte(text, -1, CP_UTF8);
  EXPECT_EQ(utf8.GetLength(),
            static_cast<int>(strlen("Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xc3\x9c"
                                    "ber")));
  EXPECT_STREQ(utf8,
               "Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xc3\x9c"
               "ber");
  EXPECT_STREQ(CA2W(utf8, CP_UTF8), text);
  EXPECT_STREQ(CW2A(text, CP_UTF8), utf8);

  // The ANSI code page: compare with the system's own conversion.
  const wchar_t* latin = L"Caf\u00e9";
  char expected[16] = {};
  WideCharToMultiByte(CP_ACP, 0, latin, -1, expected, sizeof expected, nullptr, nullptr);
  EXPECT_STREQ(CW2A(latin), expected);
  EXPECT_STREQ(CStringA(CString(latin)), expected);
  EXPECT_STREQ(CString(expected), CA2W(expected));
  if (GetACP() == 1252) {
    EXPECT_STREQ(CString("Caf\xe9"), latin);
  }
  // Embedded NULs survive a counted conversion.
  EXPECT_EQ(AfxMultiByteToWide("a\0b", 3).GetLength(), 3);
}

TEST(AfxFormatStrings, ReplacesNumberedMarkers) {
  CString out;
  LPCTSTR args[] = {L"first", L"second"};
  AfxFormatStrings(out, L"%1 then %2, %1 again; 100% sure", args, 2);
  EXPECT_STREQ(out, L"first then second, first again; 100% sure");
  AfxFormatStrings(out, L"[%1][%2]", args, 1);
  EXPECT_STREQ(out, L"[first][]");
}

TEST(CTimeAndGeometry, FormatAndRectangles) {
  CTime t(2024, 3, 5, 7, 8, 9);
  EXPECT_STREQ(t.Format(L"Starting Time: %H:%M:%S  %B %d, %Y"),
               L"Starting Time: 07:08:09  March 05, 2024");
  EXPECT_EQ(t.GetYear(), 2024);
  EXPECT_EQ(t.GetDay(), 5);
  EXPECT_GT(CTime::GetCurrentTime().GetTime(), t.GetTime());

  CRect r(10, 20, 110, 70);
  EXPECT_EQ(r.Width(), 100);
  EXPECT_EQ(r.Height(), 50);
  EXPECT_EQ(r.CenterPoint(), CPoint(60, 45));
  r.OffsetRect(5, -5);
  EXPECT_EQ(r.TopLeft(), CPoint(15, 15));
  r.DeflateRect(5, 5);
  EXPECT_EQ(r, CRect(20, 20, 110, 60));
  r.InflateRect(1, 2, 3, 4);
  EXPECT_EQ(r.BottomRight(), CPoint(113, 64));
  EXPECT_EQ(CSize(3, 4) + CSize(1, 1), CSize(4, 5));
}

}  // namespace

namespace {

TEST(CStringResources, LoadStringAndFormatString) {
  CString s;
  EXPECT_TRUE(s.LoadString(102));
  EXPECT_STREQ(s, L"Plain text");
  EXPECT_FALSE(s.LoadString(9999));
  EXPECT_TRUE(s.IsEmpty());
  AfxFormatString2(s, 101, L"tips.txt", L"C:\\Program");
  EXPECT_STREQ(s, L"Could not find tips.txt in C:\\Program.");
  AfxFormatString1(s, 101, L"x");
  EXPECT_STREQ(s, L"Could not find x in .");
}

}  // namespace

namespace {

TEST(CStringParts, IndexesOfEitherSign) {
  CString s(L"xyz");
  size_t last = 2;
  EXPECT_EQ(s[last], L'z');
  EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)s[size_t{3}]; }));
  if (sizeof(size_t) > 4) {
    const auto past = static_cast<size_t>(0x100000001ull);  // 1 in its low 32 bits
    EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)s[past]; }));
  }
}

}  // namespace
