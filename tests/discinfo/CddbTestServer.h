// A CDDB-over-HTTP server for tests on 127.0.0.1, a free port: one scripted reply
// per connection, each on its own thread. It records every request it receives, byte for
// byte, and misbehaves on request (small packets, early close, stall, no end). Each
// chunk leaves at once as a segment of its own (no Nagle wait).
#pragma once

#include <winsock2.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CddbTestServer {
 public:
  enum class End {
    kClose,    // close the connection after the last chunk
    kStall,    // keep it open, silent, for stallMs (then close)
    kEndless,  // keep sending filler lines until the client goes away
    kHold,     // keep it open until the client closes it, at most stallMs
  };
  struct Reply {
    std::vector<std::string> chunks;  // each one send call
    int delayMs = 0;                  // pause before every chunk but the first
    End end = End::kClose;
    int stallMs = 0;
  };

  CddbTestServer();
  ~CddbTestServer();
  CddbTestServer(const CddbTestServer&) = delete;
  CddbTestServer& operator=(const CddbTestServer&) = delete;

  int Port() const { return m_port; }
  // Replies for the next connections, in order; the last one repeats.
  void Script(std::vector<Reply> replies);
  std::vector<std::string> Requests();

  // An HTTP 200 page around a CDDB body, as one send.
  static Reply Page(const std::string& body);
  // The same page in segments: cut before each of the body offsets (ascending),
  // or one byte a segment; delayMs between them.
  static Reply PageCutAt(const std::string& body, const std::vector<size_t>& cuts, int delayMs);
  static Reply PageByteByByte(const std::string& body, int delayMs);
  // The text with every CR LF made a lone LF.
  static std::string LfOnly(std::string text);

 private:
  void Run();
  void Serve(SOCKET client);
  bool SleepUnlessStopped(int ms);

  SOCKET m_listen = INVALID_SOCKET;
  int m_port = 0;
  // Set by the destructor, read by the server thread between sends and sleeps.
  std::atomic<bool> m_stop{false};
  std::mutex m_lock;  // guards m_replies and m_requests
  std::deque<Reply> m_replies;
  std::vector<std::string> m_requests;
  std::thread m_thread;
  std::vector<std::thread> m_connections;  // touched by m_thread only, then joined
};

// Winsock for the test process, as the application object starts it.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
  }
  ~WinsockSession() { WSACleanup(); }
};
