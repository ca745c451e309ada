// Log lines and the lookup's match-list reset, from the lookup code to whoever
// owns the event log. discinfo knows no window: the program installs the sinks at
// start-up; until then (and in tests that set none) the calls do nothing.
#pragma once

#include "framework/core/String.h"

// Levels as the event log takes them: 0 information, 1 warning, 2 error.
using DiscInfoLogSink = void (*)(LPCTSTR text, int level);
void SetDiscInfoLogSink(DiscInfoLogSink sink);
void DiscInfoLog(LPCTSTR text, int level);

// Empties the process-wide match list (and its scratch text) after a failed
// parse or a raised lookup error.
using DiscInfoClearSink = void (*)();
void SetClearQueryResultsSink(DiscInfoClearSink sink);
void DiscInfoClearQueryResults();
