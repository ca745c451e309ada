#include "discinfo/CDDBRecord.h"

#include "framework/core/Archive.h"
#include "framework/core/Exceptions.h"

IMPLEMENT_SERIAL(CCDDBRecord, CObject, 1)

CCDDBRecord::CCDDBRecord() : m_discLengthSeconds(0), m_revision(0), m_discId(0), m_year(0) {}

CCDDBRecord::CCDDBRecord(const CCDDBRecord& other) : CCDDBRecord() { *this = other; }

CCDDBRecord::~CCDDBRecord() = default;

CCDDBRecord& CCDDBRecord::operator=(const CCDDBRecord& other) {
  if (this == &other) return *this;
  m_trackFrameOffsets.Copy(other.m_trackFrameOffsets);
  m_discLengthSeconds = other.m_discLengthSeconds;
  m_revision = other.m_revision;
  m_submittedViaClient = other.m_submittedViaClient;
  m_submittedViaVersion = other.m_submittedViaVersion;
  m_submittedViaComment = other.m_submittedViaComment;
  m_discId = other.m_discId;
  m_artist = other.m_artist;
  m_title = other.m_title;
  m_trackTitles.Copy(other.m_trackTitles);
  m_discExtData = other.m_discExtData;
  m_trackExtData.Copy(other.m_trackExtData);
  m_playOrder.Copy(other.m_playOrder);
  m_year = other.m_year;
  m_genre = other.m_genre;
  return *this;
}

// The cache file is this and nothing else, so the order below is the file format;
// it is not the declaration order. Fields are read straight into the members: a
// short file leaves the ones after the failure untouched.
void CCDDBRecord::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << m_discLengthSeconds << m_revision;
    ar << m_submittedViaClient << m_submittedViaVersion << m_submittedViaComment;
    ar << m_discId << m_artist << m_title << m_year << m_genre << m_discExtData;
  } else {
    ar >> m_discLengthSeconds >> m_revision;
    ar >> m_submittedViaClient >> m_submittedViaVersion >> m_submittedViaComment;
    ar >> m_discId >> m_artist >> m_title >> m_year >> m_genre >> m_discExtData;
  }
  // Counts, then elements; the arrays check a loaded count against the bytes left.
  m_trackFrameOffsets.Serialize(ar);
  m_trackTitles.Serialize(ar);
  m_trackExtData.Serialize(ar);
  m_playOrder.Serialize(ar);
}

void SerializeElements(CArchive& ar, CCDDBRecord* pElements, INT_PTR nCount) {
  for (INT_PTR i = 0; i < nCount; ++i) pElements[i].Serialize(ar);
}

void SerializeElements(CArchive&, CCDDBQueryResult*, INT_PTR) { AfxThrowNotSupportedException(); }
