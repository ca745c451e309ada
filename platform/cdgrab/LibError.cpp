#include "platform/cdgrab/LibError.h"

#include <windows.h>

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

}  // namespace cdgrab
