#include "platform/cdgrab/LibError.h"

#include <windows.h>

#include <deque>
#include <mutex>

namespace cdgrab {
namespace {

// Written by any thread that fails a call; the three parts change together under the lock.
struct FailureRecord {
  std::mutex lock;
  int32_t error = kErrNone;
  int32_t transport = kTransportDone;
  std::string text;
};

FailureRecord& Record() {
  static FailureRecord record;
  return record;
}

constexpr size_t kMaxLogMessages = 64;

struct LogMessages {
  std::mutex lock;
  std::deque<std::string> lines;
};

LogMessages& Messages() {
  static LogMessages messages;
  return messages;
}

}  // namespace

void SetLastFailure(int32_t error, int32_t transport, const std::string& text) {
  FailureRecord& r = Record();
  {
    std::lock_guard<std::mutex> guard(r.lock);
    r.error = error;
    r.transport = transport;
    r.text = text;
  }
  std::string line = "AudioCDGrabber: error " + std::to_string(error) + ": " + text + "\n";
  OutputDebugStringA(line.c_str());
}

int32_t LastError() {
  FailureRecord& r = Record();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.error;
}

int32_t LastTransport() {
  FailureRecord& r = Record();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.transport;
}

std::string LastErrorText() {
  FailureRecord& r = Record();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.text;
}

void AddLogMessage(const std::string& text) {
  LogMessages& m = Messages();
  {
    std::lock_guard<std::mutex> guard(m.lock);
    if (m.lines.size() == kMaxLogMessages) m.lines.pop_front();
    m.lines.push_back(text);
  }
  std::string line = "AudioCDGrabber: " + text + "\n";
  OutputDebugStringA(line.c_str());
}

bool TakeLogMessage(std::string& text) {
  LogMessages& m = Messages();
  std::lock_guard<std::mutex> guard(m.lock);
  if (m.lines.empty()) return false;
  text = std::move(m.lines.front());
  m.lines.pop_front();
  return true;
}

}  // namespace cdgrab
