#include "CddbTestServer.h"

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

CddbTestServer::Reply CddbTestServer::Page(const std::string& body) {
  Reply reply;
  reply.chunks.push_back("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body);
  return reply;
}

bool CddbTestServer::SleepUnlessStopped(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (m_stop.load(std::memory_order_relaxed)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
