// A small HTTP server for the network tests: listens on a loopback address at port 80 (the
// downloader's port is fixed), records every request byte for byte and answers as the test
// scripts it. Each connection is served on its own thread, so one stalled answer does not hold
// up the next request.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qmtest {

// The connection an answer is written to.
class THttpConnection {
 public:
  explicit THttpConnection(SOCKET s, HANDLE release) : socket_(s), release_(release) {}
  // Sends bytes; false once the peer has gone.
  bool Send(const std::string& bytes);
  // Sends a whole answer: status line, the headers given (each with its CR LF) and the body.
  bool Answer(const std::string& status, const std::string& headers, const std::string& body);
  // Waits until the test releases stalled answers (or the server stops); false on time-out.
  bool WaitRelease(DWORD timeoutMs = 30000);

 private:
  SOCKET socket_;
  HANDLE release_;
};

// What the server answers: gets the request's bytes and its path.
using THttpHandler = std::function<void(THttpConnection& conn, const std::string& request, const std::string& path)>;

class THttpTestServer {
 public:
  // Listens at port 80 on the first free address 127.0.`block`.1, .2, ... (test programs of
  // several build folders may run at once on one machine); Listening() tells whether it could.
  explicit THttpTestServer(int block);
  ~THttpTestServer();
  THttpTestServer(const THttpTestServer&) = delete;
  THttpTestServer& operator=(const THttpTestServer&) = delete;

  bool Listening() const { return listener_ != INVALID_SOCKET; }
  // The address listened on, e.g. "127.0.21.1".
  const std::string& Host() const { return host_; }
  void SetHandler(THttpHandler handler);
  // Every request received so far, whole (head and body), in order of arrival.
  std::vector<std::string> Requests() const;
  size_t RequestCount() const;
  void ClearRequests();
  // Lets every stalled answer go on.
  void Release() { SetEvent(release_); }
  void ResetRelease() { ResetEvent(release_); }
  // Connections whose answer has been written out (or ended).
  int Finished() const { return finished_; }

  // Shorthand answer: 200 with Content-Length and the body.
  static void Ok(THttpConnection& conn, const std::string& body);

 private:
  static DWORD WINAPI AcceptProc(void* self);
  static DWORD WINAPI ServeProc(void* param);
  void Serve(SOCKET s);

  SOCKET listener_ = INVALID_SOCKET;
  std::string host_;
  HANDLE acceptThread_ = nullptr;
  HANDLE release_ = nullptr;
  std::atomic<bool> stopping_{false};
  std::atomic<int> active_{0};
  std::atomic<int> finished_{0};
  mutable std::mutex lock_;
  THttpHandler handler_;
  std::vector<std::string> requests_;
};

}  // namespace qmtest
