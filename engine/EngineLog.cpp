#include "engine/EngineLog.h"

#include <atomic>

namespace {
// Set once by the main dialog, read by every thread that logs: acquire/release makes
// whatever the sink's owner set up before installing it visible to those threads.
std::atomic<LogSink> g_logSink{nullptr};
}  // namespace

LogSink SetLogSink(LogSink sink) { return g_logSink.exchange(sink, std::memory_order_acq_rel); }

void EngineLog(LPCTSTR text, int level) {
  if (LogSink sink = g_logSink.load(std::memory_order_acquire)) sink(text, level);
}
