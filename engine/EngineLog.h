// Event-log hook for the engine. The main dialog installs its add-log operation as the
// sink; until then (and in tools) lines go nowhere. Tests install their own sink.
#pragma once

#include <windows.h>

// Event-log kinds.
enum { LOG_INFO = 0, LOG_WARNING = 1, LOG_ERROR = 2 };

// Called from any thread; must not throw.
using LogSink = void (*)(LPCTSTR text, int level);

// Installs the sink (nullptr removes it) and returns the previous one.
LogSink SetLogSink(LogSink sink);

// Hands one line to the current sink, if any.
void EngineLog(LPCTSTR text, int level);
