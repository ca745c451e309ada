#include <gtest/gtest.h>

#include "framework/core/Core.h"
#include "tests/framework/TestHelpers.h"

namespace {

TEST(CArray, EveryIndexedAccessChecksBounds) {
  CArray<int, int> a;
  a.Add(1);
  a.Add(2);
  const CArray<int, int>& ca = a;
  for (INT_PTR i : {INT_PTR(-1), INT_PTR(2), INT_PTR(1000)}) {
    EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)a.GetAt(i); })) << i;
    EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { a.SetAt(i, 0); })) << i;
    EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)a.ElementAt(i); })) << i;
    EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)a[i]; })) << i;
    EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)ca[i]; })) << i;
    EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { a.RemoveAt(i); })) << i;
  }
  CArray<int, int> empty;
  EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)empty.GetAt(0); }));
  EXPECT_EQ(a.GetSize(), 2);
}

TEST(CArray, SetSizeGrowsShrinksAndRefusesNegative) {
  CArray<int, int> a;
  a.SetSize(3);
  EXPECT_EQ(a.GetSize(), 3);
  EXPECT_EQ(a.GetUpperBound(), 2);
  for (int v : a) EXPECT_EQ(v, 0);
  a[0] = 7;
  a[2] = 9;
  a.SetSize(10, 32);
  EXPECT_EQ(a.GetCount(), 10);
  EXPECT_EQ(a[0], 7);
  EXPECT_EQ(a[2], 9);
  EXPECT_EQ(a[9], 0);
  a.SetSize(1);
  EXPECT_EQ(a.GetSize(), 1);
  EXPECT_EQ(a[0], 7);
  EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { a.SetSize(-1); }));
  EXPECT_EQ(a.GetSize(), 1);
  a.SetSize(0);
  EXPECT_TRUE(a.IsEmpty());
}

TEST(CArray, CopyInsertRemoveKeepValues) {
  CStringArray s;
  s.Add(L"a");
  s.Add(L"c");
  s.InsertAt(1, L"b");
  s.InsertAt(5, L"z");  // past the end: the gap is filled with empty strings
  ASSERT_EQ(s.GetSize(), 6);
  EXPECT_STREQ(s[1], L"b");
  EXPECT_TRUE(s[4].IsEmpty());
  s.RemoveAt(3, 2);
  EXPECT_STREQ(s[3], L"z");

  CStringArray copy;
  copy.Add(L"old");
  copy.Add(L"old2");
  copy.Add(L"old3");
  copy.Add(L"old4");
  copy.Add(L"old5");
  copy.Copy(s);  // the old contents are dropped
  ASSERT_EQ(copy.GetSize(), 4);
  copy[0] = L"changed";
  EXPECT_STREQ(s[0], L"a");
  copy = s;
  EXPECT_STREQ(copy[0], L"a");
}

TEST(CTypedPtrArray, TypedAccess) {
  int x = 1, y = 2;
  CTypedPtrArray<CPtrArray, int*> a;
  a.Add(&x);
  a.Add(&y);
  EXPECT_EQ(*a[1], 2);
  EXPECT_EQ(a.GetAt(0), &x);
  EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)a.GetAt(2); }));
}

TEST(CListAndCMap, IterateLookupRemove) {
  CList<int, int> list(16);
  for (int i = 1; i <= 4; ++i) list.AddTail(i);
  list.AddHead(0);
  std::vector<int> seen;
  for (POSITION pos = list.GetHeadPosition(); pos;) seen.push_back(list.GetNext(pos));
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
  list.RemoveAt(list.Find(2));
  EXPECT_EQ(list.GetCount(), 4);
  EXPECT_EQ(list.RemoveHead(), 0);
  EXPECT_EQ(list.GetTail(), 4);
  list.RemoveAll();
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_TRUE(ThrowsFramework<CInvalidArgException>([&] { (void)list.GetHead(); }));

  CMap<UINT, UINT, CString, LPCTSTR> map(16);
  map.SetAt(3, L"three");
  map[1] = L"one";
  map.SetAt(3, L"THREE");
  CString v;
  EXPECT_TRUE(map.Lookup(3, v));
  EXPECT_STREQ(v, L"THREE");
  EXPECT_FALSE(map.Lookup(2, v));
  EXPECT_EQ(map.GetCount(), 2);
  std::vector<UINT> keys;
  for (POSITION pos = map.GetStartPosition(); pos;) {
    UINT k;
    map.GetNextAssoc(pos, k, v);
    keys.push_back(k);
  }
  EXPECT_EQ(keys, (std::vector<UINT>{1, 3}));
  EXPECT_TRUE(map.RemoveKey(1));
  EXPECT_FALSE(map.RemoveKey(1));
  map.RemoveAll();
  EXPECT_TRUE(map.IsEmpty());
}

}  // namespace
