#pragma once

#include <cstdint>

#include "framework/core/String.h"

// A count of 1/75-second sectors as "mm:ss.mmm" (milliseconds rounded, at most 987).
void FormatSectorTime(CString& text, int32_t sectors);
