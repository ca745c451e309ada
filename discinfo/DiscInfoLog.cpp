#include "discinfo/DiscInfoLog.h"

#include <atomic>

namespace {
// Set once at start-up, read from the disc worker: acquire/release is enough to
// see the function the setter stored.
std::atomic<DiscInfoLogSink> g_logSink{nullptr};
std::atomic<DiscInfoClearSink> g_clearSink{nullptr};
}  // namespace

void SetDiscInfoLogSink(DiscInfoLogSink sink) { g_logSink.store(sink, std::memory_order_release); }

void DiscInfoLog(LPCTSTR text, int level) {
  if (DiscInfoLogSink sink = g_logSink.load(std::memory_order_acquire)) sink(text, level);
}

void SetClearQueryResultsSink(DiscInfoClearSink sink) {
  g_clearSink.store(sink, std::memory_order_release);
}

void DiscInfoClearQueryResults() {
  if (DiscInfoClearSink sink = g_clearSink.load(std::memory_order_acquire)) sink();
}
