#include "tests/engine/LogCapture.h"

#include <mutex>

namespace {
std::mutex g_lock;
std::vector<std::pair<int, std::wstring>> g_lines;

void Collect(LPCTSTR text, int level) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_lines.emplace_back(level, text);
}
}  // namespace

LogCapture::LogCapture() {
  {
    std::lock_guard<std::mutex> hold(g_lock);
    g_lines.clear();
  }
  m_previous = SetLogSink(Collect);
}

LogCapture::~LogCapture() { SetLogSink(m_previous); }

std::vector<std::pair<int, std::wstring>> LogCapture::Lines() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_lines;
}
