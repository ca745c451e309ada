// Collects the engine's log lines while a test runs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/EngineLog.h"

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  // (level, text) of every line since construction.
  static std::vector<std::pair<int, std::wstring>> Lines();

 private:
  LogSink m_previous;
};
