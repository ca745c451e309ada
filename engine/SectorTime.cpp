#include "engine/SectorTime.h"

void FormatSectorTime(CString& text, int32_t sectors) {
  const int milliseconds = static_cast<int>((sectors % 75) / 75.0 * 1000 + 0.5);
  text.Format(L"%02d:%02d.%03d", sectors / 4500, (sectors % 4500) / 75, milliseconds);
}
