// The read reply of one xmcd record, byte for byte as a CDDB server sends it, for
// tests that serve records.
#pragma once

#include <string>
#include <vector>

struct XmcdRecord {
  std::string category, id, artist, title, year, genre;
  std::vector<int> frameOffsets;
  int discSeconds = 0;
  std::vector<std::string> comments;  // further "# " lines after the disc length
  std::vector<std::string> tracks;
};

inline std::string XmcdReadReply(const XmcdRecord& r) {
  std::string s = "210 " + r.category + " " + r.id +
                  " CD database entry follows (until terminating `.')\r\n"
                  "# xmcd\r\n#\r\n# Track frame offsets:\r\n";
  for (int offset : r.frameOffsets) s += "#\t" + std::to_string(offset) + "\r\n";
  s += "#\r\n# Disc length: " + std::to_string(r.discSeconds) + " seconds\r\n#\r\n";
  for (const std::string& comment : r.comments) s += "# " + comment + "\r\n";
  s += "#\r\nDISCID=" + r.id + "\r\nDTITLE=" + r.artist + " / " + r.title + "\r\nDYEAR=" + r.year +
       "\r\nDGENRE=" + r.genre + "\r\n";
  for (size_t i = 0; i < r.tracks.size(); ++i)
    s += "TTITLE" + std::to_string(i) + "=" + r.tracks[i] + "\r\n";
  s += "EXTD=\r\n";
  for (size_t i = 0; i < r.tracks.size(); ++i) s += "EXTT" + std::to_string(i) + "=\r\n";
  return s + "PLAYORDER=\r\n.\r\n";
}
