// One disc's album information, and one match of a CDDB query.
#pragma once

#include "framework/core/Collections.h"
#include "framework/core/Object.h"
#include "framework/core/String.h"

class CArchive;

// Also the whole content of a local cache file ("%08x.cddb"): Serialize writes the
// fields in the cache order, with no class name, schema or object tag.
class CCDDBRecord : public CObject {
  DECLARE_SERIAL(CCDDBRecord)
 public:
  CCDDBRecord();
  CCDDBRecord(const CCDDBRecord& other);
  ~CCDDBRecord() override;

  // Full copy: the arrays' old contents are dropped.
  CCDDBRecord& operator=(const CCDDBRecord& other);

  // A loading archive that runs out (or holds a bad length) throws
  // CArchiveException midway: the fields read so far are overwritten, the rest
  // keep their values.
  void Serialize(CArchive& ar) override;

  CArray<int, int> m_trackFrameOffsets;  // track starts in frames (75 a second)
  int m_discLengthSeconds;
  int m_revision;
  CString m_submittedViaClient;
  CString m_submittedViaVersion;
  CString m_submittedViaComment;
  DWORD m_discId;
  CString m_artist;
  CString m_title;
  CStringArray m_trackTitles;  // index = track number - 1
  CString m_discExtData;
  CStringArray m_trackExtData;
  CArray<int, int> m_playOrder;
  int m_year;
  CString m_genre;
};

// One match of a query; m_category goes back to the server in the read command.
class CCDDBQueryResult {
 public:
  CCDDBQueryResult() = default;
  CCDDBQueryResult(const CCDDBQueryResult&) = default;
  CCDDBQueryResult& operator=(const CCDDBQueryResult&) = default;

  CString m_category;
  DWORD m_discId = 0;
  CString m_artist;
  CString m_title;
};

// Element storage for CArray<CCDDBRecord>: each record in the cache layout.
void SerializeElements(CArchive& ar, CCDDBRecord* pElements, INT_PTR nCount);
// Matches are never stored: throws CNotSupportedException.
void SerializeElements(CArchive& ar, CCDDBQueryResult* pElements, INT_PTR nCount);
