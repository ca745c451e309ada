#include "CddbTestServer.h"

#include <algorithm>
#include <chrono>

CddbTestServer::CddbTestServer() {
  m_listen = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  listen(m_listen, 8);
  int length = sizeof(address);
  getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { Run(); });
}

CddbTestServer::~CddbTestServer() {
  m_stop.store(true, std::memory_order_relaxed);  // only ends loops; no data rides on it
  closesocket(m_listen);                          // wakes the accept
  m_thread.join();
  for (std::thread& connection : m_connections) connection.join();
}

void CddbTestServer::Script(std::vector<Reply> replies) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_replies.assign(replies.begin(), replies.end());
}

std::vector<std::string> CddbTestServer::Requests() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_requests;
}

namespace {
const char kHeader[] = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
}

CddbTestServer::Reply CddbTestServer::Page(const std::string& body) {
  Reply reply;
  reply.chunks.push_back(kHeader + body);
  return reply;
}

CddbTestServer::Reply CddbTestServer::PageCutAt(const std::string& body,
                                                const std::vector<size_t>& cuts, int delayMs) {
  const std::string page = kHeader + body;
  const size_t header = page.size() - body.size();
  Reply reply;
  reply.delayMs = delayMs;
  size_t from = 0;
  for (size_t cut : cuts) {
    reply.chunks.push_back(page.substr(from, header + cut - from));
    from = header + cut;
  }
  reply.chunks.push_back(page.substr(from));
  return reply;
}

CddbTestServer::Reply CddbTestServer::PageByteByByte(const std::string& body, int delayMs) {
  Reply reply;
  reply.delayMs = delayMs;
  for (char ch : kHeader + body) reply.chunks.push_back(std::string(1, ch));
  return reply;
}

std::string CddbTestServer::LfOnly(std::string text) {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

bool CddbTestServer::SleepUnlessStopped(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (m_stop.load(std::memory_order_relaxed)) return false;
    // Short steps: the segment tests pause a few milliseconds, hundreds of times.
    const auto step = std::min<std::chrono::steady_clock::duration>(
        std::chrono::milliseconds(10), until - std::chrono::steady_clock::now());
    if (step.count() > 0) std::this_thread::sleep_for(step);
  }
  return true;
}

void CddbTestServer::Run() {
  for (;;) {
    SOCKET client = accept(m_listen, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;  // closed by the destructor
    // One thread per connection: a stalled one must not hold up the next.
    m_connections.emplace_back([this, client] {
      Serve(client);
      closesocket(client);
    });
  }
}

void CddbTestServer::Serve(SOCKET client) {
  const BOOL noDelay = TRUE;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
             sizeof(noDelay));
  std::string request;
  char buffer[512];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const int n = recv(client, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    request.append(buffer, n);
  }
  Reply reply;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_requests.push_back(request);
    if (!m_replies.empty()) {
      reply = m_replies.front();
      if (m_replies.size() > 1) m_replies.pop_front();
    }
  }
  for (size_t i = 0; i < reply.chunks.size(); ++i) {
    if (i > 0 && reply.delayMs > 0 && !SleepUnlessStopped(reply.delayMs)) return;
    const std::string& chunk = reply.chunks[i];
    if (send(client, chunk.data(), static_cast<int>(chunk.size()), 0) == SOCKET_ERROR) return;
  }
  switch (reply.end) {
    case End::kClose:
      shutdown(client, SD_SEND);
      break;
    case End::kStall:
      SleepUnlessStopped(reply.stallMs);
      break;
    case End::kHold: {
      // Whatever the client still sends is dropped; its close (0) or an error ends it.
      const auto until =
          std::chrono::steady_clock::now() + std::chrono::milliseconds(reply.stallMs);
      while (!m_stop.load(std::memory_order_relaxed) && std::chrono::steady_clock::now() < until) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(client, &readable);
        timeval step = {0, 10000};
        if (select(0, &readable, nullptr, nullptr, &step) > 0 &&
            recv(client, buffer, sizeof(buffer), 0) <= 0) {
          break;
        }
      }
      break;
    }
    case End::kEndless: {
      const std::string filler(1000, 'x');
      const std::string line = filler + "\r\n";
      while (!m_stop.load(std::memory_order_relaxed) &&
             send(client, line.data(), static_cast<int>(line.size()), 0) != SOCKET_ERROR) {
      }
      break;
    }
  }
}
