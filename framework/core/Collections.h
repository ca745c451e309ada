// Arrays, lists and maps. Index errors throw CInvalidArgException.
#pragma once

#include <algorithm>
#include <map>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "framework/core/Archive.h"
#include "framework/core/Exceptions.h"
#include "framework/core/Object.h"
#include "framework/core/String.h"

// An opaque iteration position (null at the end).
struct AfxPosition;
using POSITION = AfxPosition*;

// A growable array of values. TYPE needs a default constructor and a full-copy
// assignment; the array grows by assigning elements.
template <typename TYPE, typename ARG_TYPE = const TYPE&>
class CArray : public CObject {
 public:
  CArray() = default;
  CArray(const CArray& other) : CObject(), m_data(other.m_data) {}
  CArray& operator=(const CArray& other) {
    Copy(other);
    return *this;
  }
  ~CArray() override = default;

  INT_PTR GetSize() const { return static_cast<INT_PTR>(m_data.size()); }
  INT_PTR GetCount() const { return GetSize(); }
  BOOL IsEmpty() const { return m_data.empty(); }
  INT_PTR GetUpperBound() const { return GetSize() - 1; }

  // Grows (new elements default-constructed) or shrinks; a negative size throws
  // CInvalidArgException. nGrowBy is a hint kept for callers.
  void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1) {
    if (nNewSize < 0) AfxThrowInvalidArgException();
    if (nGrowBy > 0) m_nGrowBy = nGrowBy;
    // Out of memory becomes the framework's exception, like every other failure here.
    try {
      if (static_cast<size_t>(nNewSize) > m_data.capacity() && m_nGrowBy > 0) {
        m_data.reserve(std::max(static_cast<size_t>(nNewSize), m_data.size() + m_nGrowBy));
      }
      m_data.resize(static_cast<size_t>(nNewSize));
    } catch (const std::bad_alloc&) {
      AfxThrowMemoryException();
    } catch (const std::length_error&) {
      AfxThrowMemoryException();
    }
  }
  void FreeExtra() { m_data.shrink_to_fit(); }
  void RemoveAll() { m_data.clear(); }

  const TYPE& GetAt(INT_PTR nIndex) const { return m_data[Checked(nIndex)]; }
  void SetAt(INT_PTR nIndex, ARG_TYPE newElement) { m_data[Checked(nIndex)] = newElement; }
  TYPE& ElementAt(INT_PTR nIndex) { return m_data[Checked(nIndex)]; }
  const TYPE& ElementAt(INT_PTR nIndex) const { return m_data[Checked(nIndex)]; }
  TYPE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }
  const TYPE& operator[](INT_PTR nIndex) const { return GetAt(nIndex); }

  const TYPE* GetData() const { return m_data.data(); }
  TYPE* GetData() { return m_data.data(); }

  // Grows the array when nIndex is past its end.
  void SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement) {
    if (nIndex < 0) AfxThrowInvalidArgException();
    if (nIndex >= GetSize()) SetSize(nIndex + 1);
    m_data[static_cast<size_t>(nIndex)] = newElement;
  }
  INT_PTR Add(ARG_TYPE newElement) {
    INT_PTR nIndex = GetSize();
    SetAtGrow(nIndex, newElement);
    return nIndex;
  }
  INT_PTR Append(const CArray& src) {
    INT_PTR nOldSize = GetSize();
    if (&src == this) AfxThrowInvalidArgException();
    m_data.insert(m_data.end(), src.m_data.begin(), src.m_data.end());
    return nOldSize;
  }
  // Element by element: the old contents are dropped.
  void Copy(const CArray& src) {
    if (&src == this) return;
    SetSize(src.GetSize());
    for (size_t i = 0; i < m_data.size(); ++i) m_data[i] = src.m_data[i];
  }
  void InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount = 1) {
    if (nIndex < 0 || nCount < 0) AfxThrowInvalidArgException();
    TYPE value = newElement;  // newElement may live in this array
    if (nIndex >= GetSize()) SetSize(nIndex);
    m_data.insert(m_data.begin() + nIndex, static_cast<size_t>(nCount), value);
  }
  void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1) {
    if (nIndex < 0 || nCount < 0 || nIndex + nCount > GetSize()) AfxThrowInvalidArgException();
    m_data.erase(m_data.begin() + nIndex, m_data.begin() + nIndex + nCount);
  }

  // Count, then the elements (SerializeElements). A loaded count is checked against
  // the bytes left before the array is resized.
  void Serialize(CArchive& ar) override {
    if (ar.IsStoring()) {
      ar.WriteCount(static_cast<DWORD_PTR>(GetSize()));
    } else {
      DWORD_PTR nCount = ar.ReadCount(SerializedElementMinBytes<TYPE>());
      SetSize(static_cast<INT_PTR>(nCount));
    }
    SerializeElements(ar, m_data.data(), GetSize());  // found by ADL for element types
  }

  // Range-for support.
  TYPE* begin() { return m_data.data(); }
  TYPE* end() { return m_data.data() + m_data.size(); }
  const TYPE* begin() const { return m_data.data(); }
  const TYPE* end() const { return m_data.data() + m_data.size(); }

 private:
  size_t Checked(INT_PTR nIndex) const {
    if (nIndex < 0 || nIndex >= GetSize()) AfxThrowInvalidArgException();
    return static_cast<size_t>(nIndex);
  }

  std::vector<TYPE> m_data;
  INT_PTR m_nGrowBy = 0;
};

class CStringArray : public CArray<CString, const CString&> {
  DECLARE_DYNAMIC(CStringArray)
 public:
  CStringArray() = default;
  CStringArray(const CStringArray&) = default;
  CStringArray& operator=(const CStringArray&) = default;
};

class CByteArray : public CArray<BYTE, BYTE> {};
class CWordArray : public CArray<WORD, WORD> {};
class CDWordArray : public CArray<DWORD, DWORD> {};
class CUIntArray : public CArray<UINT, UINT> {};

// Arrays of pointers: the array never owns what they point to.
class CObArray : public CArray<CObject*, CObject*> {
 public:
  void Serialize(CArchive& ar) override;  // not supported: throws CNotSupportedException
};
class CPtrArray : public CArray<void*, void*> {
 public:
  void Serialize(CArchive& ar) override;  // not supported: throws CNotSupportedException
};

// A pointer array with typed access, e.g. CTypedPtrArray<CPtrArray, Item*>.
template <typename BASE_CLASS, typename TYPE>
class CTypedPtrArray : public BASE_CLASS {
 public:
  TYPE GetAt(INT_PTR nIndex) const { return static_cast<TYPE>(BASE_CLASS::GetAt(nIndex)); }
  TYPE& ElementAt(INT_PTR nIndex) { return reinterpret_cast<TYPE&>(BASE_CLASS::ElementAt(nIndex)); }
  void SetAt(INT_PTR nIndex, TYPE ptr) { BASE_CLASS::SetAt(nIndex, ptr); }
  void SetAtGrow(INT_PTR nIndex, TYPE ptr) { BASE_CLASS::SetAtGrow(nIndex, ptr); }
  INT_PTR Add(TYPE ptr) { return BASE_CLASS::Add(ptr); }
  void InsertAt(INT_PTR nIndex, TYPE ptr, INT_PTR nCount = 1) {
    BASE_CLASS::InsertAt(nIndex, ptr, nCount);
  }
  TYPE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }
  TYPE operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
};

// A doubly linked list; positions stay valid until their element is removed.
template <typename TYPE, typename ARG_TYPE = const TYPE&>
class CList : public CObject {
  struct Node {
    Node* pNext;
    Node* pPrev;
    TYPE data;
  };

 public:
  explicit CList(INT_PTR nBlockSize = 10) { (void)nBlockSize; }
  ~CList() override { RemoveAll(); }
  CList(const CList&) = delete;
  CList& operator=(const CList&) = delete;

  INT_PTR GetCount() const { return m_nCount; }
  INT_PTR GetSize() const { return m_nCount; }
  BOOL IsEmpty() const { return m_nCount == 0; }

  TYPE& GetHead() { return HeadNode()->data; }
  const TYPE& GetHead() const { return HeadNode()->data; }
  TYPE& GetTail() { return TailNode()->data; }
  const TYPE& GetTail() const { return TailNode()->data; }

  POSITION AddHead(ARG_TYPE newElement) { return InsertNode(nullptr, m_pHead, newElement); }
  POSITION AddTail(ARG_TYPE newElement) { return InsertNode(m_pTail, nullptr, newElement); }
  POSITION InsertBefore(POSITION pos, ARG_TYPE newElement) {
    Node* p = ToNode(pos);
    return InsertNode(p->pPrev, p, newElement);
  }
  POSITION InsertAfter(POSITION pos, ARG_TYPE newElement) {
    Node* p = ToNode(pos);
    return InsertNode(p, p->pNext, newElement);
  }

  TYPE RemoveHead() {
    Node* p = HeadNode();
    TYPE value = p->data;
    Unlink(p);
    return value;
  }
  TYPE RemoveTail() {
    Node* p = TailNode();
    TYPE value = p->data;
    Unlink(p);
    return value;
  }
  void RemoveAt(POSITION pos) { Unlink(ToNode(pos)); }
  void RemoveAll() {
    while (m_pHead) Unlink(m_pHead);
  }

  POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(m_pHead); }
  POSITION GetTailPosition() const { return reinterpret_cast<POSITION>(m_pTail); }
  // The element at rPosition; rPosition moves on (null after the last).
  TYPE& GetNext(POSITION& rPosition) {
    Node* p = ToNode(rPosition);
    rPosition = reinterpret_cast<POSITION>(p->pNext);
    return p->data;
  }
  const TYPE& GetNext(POSITION& rPosition) const {
    Node* p = ToNode(rPosition);
    rPosition = reinterpret_cast<POSITION>(p->pNext);
    return p->data;
  }
  TYPE& GetPrev(POSITION& rPosition) {
    Node* p = ToNode(rPosition);
    rPosition = reinterpret_cast<POSITION>(p->pPrev);
    return p->data;
  }
  TYPE& GetAt(POSITION pos) { return ToNode(pos)->data; }
  const TYPE& GetAt(POSITION pos) const { return ToNode(pos)->data; }
  void SetAt(POSITION pos, ARG_TYPE newElement) { ToNode(pos)->data = newElement; }

  POSITION Find(ARG_TYPE searchValue, POSITION startAfter = nullptr) const {
    Node* p = startAfter ? ToNode(startAfter)->pNext : m_pHead;
    for (; p; p = p->pNext) {
      if (p->data == searchValue) return reinterpret_cast<POSITION>(p);
    }
    return nullptr;
  }
  POSITION FindIndex(INT_PTR nIndex) const {
    if (nIndex < 0 || nIndex >= m_nCount) return nullptr;
    Node* p = m_pHead;
    while (nIndex-- > 0) p = p->pNext;
    return reinterpret_cast<POSITION>(p);
  }

 private:
  static Node* ToNode(POSITION pos) {
    if (!pos) AfxThrowInvalidArgException();
    return reinterpret_cast<Node*>(pos);
  }
  Node* HeadNode() const {
    if (!m_pHead) AfxThrowInvalidArgException();
    return m_pHead;
  }
  Node* TailNode() const {
    if (!m_pTail) AfxThrowInvalidArgException();
    return m_pTail;
  }
  POSITION InsertNode(Node* pPrev, Node* pNext, ARG_TYPE value) {
    Node* p = new Node{pNext, pPrev, value};
    (pPrev ? pPrev->pNext : m_pHead) = p;
    (pNext ? pNext->pPrev : m_pTail) = p;
    ++m_nCount;
    return reinterpret_cast<POSITION>(p);
  }
  void Unlink(Node* p) {
    (p->pPrev ? p->pPrev->pNext : m_pHead) = p->pNext;
    (p->pNext ? p->pNext->pPrev : m_pTail) = p->pPrev;
    --m_nCount;
    delete p;
  }

  Node* m_pHead = nullptr;
  Node* m_pTail = nullptr;
  INT_PTR m_nCount = 0;
};

// A map from keys to values, ordered by key (KEY needs operator<).
template <typename KEY, typename ARG_KEY, typename VALUE, typename ARG_VALUE>
class CMap : public CObject {
 public:
  explicit CMap(INT_PTR nBlockSize = 10) { (void)nBlockSize; }
  CMap(const CMap&) = delete;
  CMap& operator=(const CMap&) = delete;

  INT_PTR GetCount() const { return static_cast<INT_PTR>(m_map.size()); }
  INT_PTR GetSize() const { return GetCount(); }
  BOOL IsEmpty() const { return m_map.empty(); }

  BOOL Lookup(ARG_KEY key, VALUE& rValue) const {
    auto it = m_map.find(key);
    if (it == m_map.end()) return FALSE;
    rValue = it->second;
    return TRUE;
  }
  VALUE& operator[](ARG_KEY key) { return m_map[key]; }
  void SetAt(ARG_KEY key, ARG_VALUE newValue) { m_map[key] = newValue; }
  BOOL RemoveKey(ARG_KEY key) { return m_map.erase(key) != 0; }
  void RemoveAll() { m_map.clear(); }

  // Iteration in key order: pos = GetStartPosition(); while (pos) GetNextAssoc(pos, k, v);
  POSITION GetStartPosition() const { return m_map.empty() ? nullptr : ToPosition(m_map.begin()); }
  void GetNextAssoc(POSITION& rNextPosition, KEY& rKey, VALUE& rValue) const {
    if (!rNextPosition) AfxThrowInvalidArgException();
    auto* pEntry = reinterpret_cast<const std::pair<const KEY, VALUE>*>(rNextPosition);
    auto it = m_map.find(pEntry->first);
    rKey = it->first;
    rValue = it->second;
    ++it;
    rNextPosition = it == m_map.end() ? nullptr : ToPosition(it);
  }

 private:
  using Map = std::map<KEY, VALUE>;
  static POSITION ToPosition(typename Map::const_iterator it) {
    return reinterpret_cast<POSITION>(const_cast<std::pair<const KEY, VALUE>*>(&*it));
  }

  Map m_map;
};
