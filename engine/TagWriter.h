// Tags of a ripped track, filled from the current disc record: ID3v1 + ID3v2.4 for MP3
// files, Vorbis comments for OGG files. Called by the MP3 and OGG writers on the
// encoder thread once a track's audio is complete; the writers decide whether to tag
// (FillTag, job still running) and report a failed save.
#pragma once

#include <windows.h>

namespace TagLib {
class ByteVector;
class String;
class Tag;
namespace ID3v2 {
class Tag;
}
namespace Ogg {
class XiphComment;
}
}  // namespace TagLib

// "Corvane", CR LF, the maker's web address; ANSI text.
extern const char kTagCredit[];

// Tags the MP3 file at path for job track trackIndex (track number trackIndex + 1) and
// saves ID3v1 and ID3v2.4. FALSE when the file cannot be opened or saved, a volume too
// full for the tagged copy included; the file is then left byte for byte as it was. A track index
// outside the record's titles throws CInvalidArgException before the file is touched.
BOOL WriteMp3Tags(LPCWSTR path, int trackIndex);

// The same for an Ogg Vorbis file: its Vorbis comments.
BOOL WriteOggTags(LPCWSTR path, int trackIndex);

// The field fillers the two above use; they read g_cddbRecord, g_dwDiscId, g_toc and
// g_bPlaceholderRecord. While the record is the placeholder only the numbering, the disc
// id and the credit are written.
void WriteId3v1Tag(TagLib::Tag* tag, int trackIndex);
void WriteId3v2Frames(TagLib::ID3v2::Tag* tag, int trackIndex);
void WriteVorbisComments(TagLib::Ogg::XiphComment* comment, int trackIndex);

// Sets the text of the first "TXXX" frame whose description is description (Latin-1),
// adding a frame when there is none; an empty value removes the frame found.
void setUserTextFrame(TagLib::ID3v2::Tag* tag, const TagLib::ByteVector& description,
                      const TagLib::String& value);
