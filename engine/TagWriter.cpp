#include "engine/TagWriter.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <memory>

#include "engine/CDDrive.h"
#include "engine/OutputNaming.h"
#include "engine/SampleUtils.h"

// Tagging runs on the encoder thread and reads the record, the disc id and the table of
// contents without a lock: the modal progress window keeps the user from changing them
// while a job runs.

const char kTagCredit[] = "Corvane\r\nhttps://corvane.example/";

namespace {

constexpr int kFirstYear = 1;
constexpr int kLastYear = 9998;

bool YearUsable(int year) { return year >= kFirstYear && year <= kLastYear; }

// The disc's track count, data tracks included.
int DiscTrackCount() { return g_toc.lastTrack - g_toc.firstTrack + 1; }

TagLib::String Wide(const CString& text) { return TagLib::String(text.GetString()); }

// ID3v1 holds 8-bit text: the ANSI bytes of the text, which TagLib stores unchanged when
// they are handed over as Latin-1.
TagLib::String Ansi(const CString& text) {
  std::unique_ptr<char[]> ansi(WideToAnsiAlloc(text));
  return TagLib::String(ansi.get(), TagLib::String::Latin1);
}

TagLib::String Number(int value) {
  CString text;
  text.Format(L"%d", value);
  return Wide(text);
}

TagLib::String DiscIdText() {
  CString text;
  text.Format(L"%08x", g_dwDiscId);
  return Wide(text);
}

// Replaces the text of the first frame with this id, else adds a text frame in the
// factory's encoding for new frames. TagLib keeps its own version of this protected.
void SetTextFrame(TagLib::ID3v2::Tag* tag, const char* id, const TagLib::String& value) {
  const TagLib::ID3v2::FrameList& frames = tag->frameList(id);
  if (!frames.isEmpty()) {
    frames.front()->setText(value);
    return;
  }
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame(
      id, TagLib::ID3v2::FrameFactory::instance()->defaultTextEncoding());
  tag->addFrame(frame);
  frame->setText(value);
}

using FileHandle = std::unique_ptr<void, FileHandleCloser>;

FileHandle OpenFile(LPCWSTR path, DWORD access, DWORD share, DWORD disposition) {
  HANDLE h = CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return FileHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

// The whole file; false when it cannot be read, or someone else holds it for writing.
bool ReadWholeFile(LPCWSTR path, TagLib::ByteVector* data) {
  FileHandle file = OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
  data->resize(static_cast<unsigned>(size.QuadPart));
  DWORD read = 0;
  return data->isEmpty() ||
         (ReadFile(file.get(), data->data(), data->size(), &read, nullptr) && read == data->size());
}

// The tag library does not notice a write that fails half-way (a full volume), and its
// in-place save would leave the audio cut short. So the tagged file is made in memory,
// written beside the original and put in its place only once every byte is on the disk.
bool ReplaceWholeFile(LPCWSTR path, const TagLib::ByteVector& data) {
  const CString temp = CString(path) + L".tagging";
  bool written = false;
  {
    FileHandle file = OpenFile(temp, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (!file) return false;
    DWORD done = 0;
    written =
        WriteFile(file.get(), data.data(), data.size(), &done, nullptr) && done == data.size();
    if (!CloseHandle(file.release())) written = false;
  }
  if (written && MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(temp);
  return false;
}

}  // namespace

void setUserTextFrame(TagLib::ID3v2::Tag* tag, const TagLib::ByteVector& description,
                      const TagLib::String& value) {
  const TagLib::String name(description, TagLib::String::Latin1);
  TagLib::ID3v2::UserTextIdentificationFrame* found = nullptr;
  for (TagLib::ID3v2::Frame* frame : tag->frameList("TXXX")) {
    auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
    if (user && user->description() == name) {
      found = user;
      break;
    }
  }
  if (!found) {
    if (value.isEmpty()) return;  // nothing to remove, nothing to set
    found = new TagLib::ID3v2::UserTextIdentificationFrame(
        TagLib::ID3v2::FrameFactory::instance()->defaultTextEncoding());
    tag->addFrame(found);
  } else if (value.isEmpty()) {
    tag->removeFrame(found);
    return;
  }
  found->setDescription(name);
  found->setText(value);
}

void WriteId3v1Tag(TagLib::Tag* tag, int trackIndex) {
  const CString title = GetTrackTitle(static_cast<short>(trackIndex));
  tag->setTrack(trackIndex + 1);
  if (g_bPlaceholderRecord) return;
  if (!g_cddbRecord.m_title.IsEmpty()) tag->setAlbum(Ansi(g_cddbRecord.m_title));
  if (!g_cddbRecord.m_artist.IsEmpty()) tag->setArtist(Ansi(g_cddbRecord.m_artist));
  if (!title.IsEmpty()) tag->setTitle(Ansi(title));
  if (!g_cddbRecord.m_genre.IsEmpty()) tag->setGenre(Ansi(g_cddbRecord.m_genre));
  if (YearUsable(g_cddbRecord.m_year)) tag->setYear(g_cddbRecord.m_year);
}

void WriteId3v2Frames(TagLib::ID3v2::Tag* tag, int trackIndex) {
  const CString title = GetTrackTitle(static_cast<short>(trackIndex));
  CString track;
  track.Format(L"%d/%d", trackIndex + 1, DiscTrackCount());
  SetTextFrame(tag, "TRCK", Wide(track));
  setUserTextFrame(tag, "DISCID", DiscIdText());
  SetTextFrame(tag, "TENC", TagLib::String(kTagCredit, TagLib::String::Latin1));
  if (g_bPlaceholderRecord) return;
  if (!g_cddbRecord.m_title.IsEmpty()) SetTextFrame(tag, "TALB", Wide(g_cddbRecord.m_title));
  if (!g_cddbRecord.m_artist.IsEmpty()) SetTextFrame(tag, "TPE1", Wide(g_cddbRecord.m_artist));
  if (!g_cddbRecord.m_genre.IsEmpty()) SetTextFrame(tag, "TCON", Wide(g_cddbRecord.m_genre));
  if (!title.IsEmpty()) SetTextFrame(tag, "TIT2", Wide(title));
  if (YearUsable(g_cddbRecord.m_year)) SetTextFrame(tag, "TDRC", Number(g_cddbRecord.m_year));
}

void WriteVorbisComments(TagLib::Ogg::XiphComment* comment, int trackIndex) {
  const CString title = GetTrackTitle(static_cast<short>(trackIndex));
  comment->addField("TRACKNUMBER", Number(trackIndex + 1), true);
  comment->addField("TOTALTRACKS", Number(DiscTrackCount()), true);
  comment->addField("DISCID", DiscIdText(), true);
  comment->addField("ENCODED BY", Wide(CString(kTagCredit)), true);
  if (g_bPlaceholderRecord) return;
  auto add = [comment](const char* name, const CString& value) {
    if (!value.IsEmpty()) comment->addField(name, Wide(value), true);
  };
  add("ARTIST", g_cddbRecord.m_artist);
  add("TITLE", title);
  add("ALBUM", g_cddbRecord.m_title);
  add("GENRE", g_cddbRecord.m_genre);
  if (YearUsable(g_cddbRecord.m_year)) comment->addField("DATE", Number(g_cddbRecord.m_year), true);
}

BOOL WriteMp3Tags(LPCWSTR path, int trackIndex) {
  GetTrackTitle(static_cast<short>(trackIndex));  // a bad index throws before the file is opened
  TagLib::ByteVector data;
  if (!ReadWholeFile(path, &data)) return FALSE;
  TagLib::ByteVectorStream stream(data);
  TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
  if (!file.isValid()) return FALSE;
  WriteId3v1Tag(file.ID3v1Tag(true), trackIndex);
  WriteId3v2Frames(file.ID3v2Tag(true), trackIndex);
  return file.save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v4,
                   TagLib::File::DoNotDuplicate) &&
         ReplaceWholeFile(path, *stream.data());
}

BOOL WriteOggTags(LPCWSTR path, int trackIndex) {
  GetTrackTitle(static_cast<short>(trackIndex));
  TagLib::ByteVector data;
  if (!ReadWholeFile(path, &data)) return FALSE;
  TagLib::ByteVectorStream stream(data);
  TagLib::Ogg::Vorbis::File file(&stream, false);
  if (!file.isValid() || !file.tag()) return FALSE;
  WriteVorbisComments(file.tag(), trackIndex);
  return file.save() && ReplaceWholeFile(path, *stream.data());
}
