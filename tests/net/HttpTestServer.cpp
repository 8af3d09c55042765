#include "HttpTestServer.h"

#include <ws2tcpip.h>

#include <cstdlib>

namespace qmtest {

namespace {

std::string PathOf(const std::string& request) {
  size_t a = request.find(' ');
  if (a == std::string::npos) return std::string();
  size_t b = request.find(' ', a + 1);
  return request.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
}

// The announced body length of a request, 0 without one.
size_t RequestBodyLength(const std::string& head) {
  std::string lower;
  for (char c : head) lower.push_back(static_cast<char>(tolower(static_cast<unsigned char>(c))));
  size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return static_cast<size_t>(std::strtoul(head.c_str() + at + 17, nullptr, 10));
}

}  // namespace

bool THttpConnection::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    int chunk = static_cast<int>(bytes.size() - sent > 65536 ? 65536 : bytes.size() - sent);
    int n = send(socket_, bytes.data() + sent, chunk, 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool THttpConnection::Answer(const std::string& status, const std::string& headers, const std::string& body) {
  return Send("HTTP/1.0 " + status + "\r\n" + headers + "\r\n") && Send(body);
}

bool THttpConnection::WaitRelease(DWORD timeoutMs) {
  return WaitForSingleObject(release_, timeoutMs) == WAIT_OBJECT_0;
}

void THttpTestServer::Ok(THttpConnection& conn, const std::string& body) {
  conn.Answer("200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n", body);
}

THttpTestServer::THttpTestServer(int block) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  for (int n = 1; n < 100 && listener_ == INVALID_SOCKET; ++n) {
    std::string address = "127.0." + std::to_string(block) + "." + std::to_string(n);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) break;
    // Lets a new run take over an address whose old connections still linger in TIME_WAIT; a
    // live listener still keeps it.
    BOOL reuse = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_port = htons(80);
    at.sin_addr.s_addr = inet_addr(address.c_str());
    if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && listen(s, 16) == 0) {
      listener_ = s;
      host_ = address;
    } else {
      closesocket(s);
    }
  }
  if (listener_ != INVALID_SOCKET) acceptThread_ = CreateThread(nullptr, 0, &AcceptProc, this, 0, nullptr);
}

THttpTestServer::~THttpTestServer() {
  stopping_ = true;
  SetEvent(release_);
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  if (acceptThread_) {
    WaitForSingleObject(acceptThread_, 5000);
    CloseHandle(acceptThread_);
  }
  // Connection threads end once released; wait for them so none outlives the handler.
  for (int i = 0; i < 500 && active_ > 0; ++i) Sleep(10);
  CloseHandle(release_);
  WSACleanup();
}

void THttpTestServer::SetHandler(THttpHandler handler) {
  std::lock_guard<std::mutex> guard(lock_);
  handler_ = std::move(handler);
}

std::vector<std::string> THttpTestServer::Requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

size_t THttpTestServer::RequestCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_.size();
}

void THttpTestServer::ClearRequests() {
  std::lock_guard<std::mutex> guard(lock_);
  requests_.clear();
}

DWORD WINAPI THttpTestServer::AcceptProc(void* param) {
  auto* self = static_cast<THttpTestServer*>(param);
  while (!self->stopping_) {
    SOCKET s = accept(self->listener_, nullptr, nullptr);
    if (s == INVALID_SOCKET) break;
    ++self->active_;
    auto* job = new std::pair<THttpTestServer*, SOCKET>(self, s);
    HANDLE t = CreateThread(nullptr, 0, &ServeProc, job, 0, nullptr);
    if (t) {
      CloseHandle(t);
    } else {
      delete job;
      closesocket(s);
      --self->active_;
    }
  }
  return 0;
}

DWORD WINAPI THttpTestServer::ServeProc(void* param) {
  auto* job = static_cast<std::pair<THttpTestServer*, SOCKET>*>(param);
  THttpTestServer* self = job->first;
  SOCKET s = job->second;
  delete job;
  self->Serve(s);
  closesocket(s);
  ++self->finished_;
  --self->active_;
  return 0;
}

void THttpTestServer::Serve(SOCKET s) {
  std::string request;
  char buffer[4096];
  size_t headEnd = std::string::npos;
  while (headEnd == std::string::npos) {
    int n = recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<size_t>(n));
    headEnd = request.find("\r\n\r\n");
  }
  size_t want = headEnd + 4 + RequestBodyLength(request.substr(0, headEnd + 2));
  while (request.size() < want) {
    int n = recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  THttpHandler handler;
  {
    std::lock_guard<std::mutex> guard(lock_);
    requests_.push_back(request);
    handler = handler_;
  }
  THttpConnection conn(s, release_);
  if (handler)
    handler(conn, request, PathOf(request));
  else
    Ok(conn, "");
  shutdown(s, SD_SEND);
}

}  // namespace qmtest
