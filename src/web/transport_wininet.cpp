// The transport on Windows: WinInet, one internet handle, connection and request per call, closed
// in reverse order when the call ends. Texts cross to the W functions as code page 936.
//
// The calls run on a thread of their own while the caller waits for the platform to report the
// connection. WinInet does not always honour its connect timeout (Wine's connects block until the
// system gives up, about two minutes; old WinInet versions ignore the option too), so the caller
// stops waiting after the connect timeout and returns the failure result; the thread, which owns
// everything it uses, ends on its own when the platform gives up.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "common/codepage.h"
#include "web/transport.h"

namespace qw {
namespace {

constexpr DWORD kReadChunkBytes = 1024;
// The raw header block is fetched into a fixed buffer; a block that does not fit counts as absent.
constexpr DWORD kHeaderBufferCharacters = 5000;

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_ != nullptr) InternetCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  InternetHandle(InternetHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  InternetHandle& operator=(InternetHandle&&) = delete;

  explicit operator bool() const { return handle_ != nullptr; }
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

// What the waiting caller and the thread that makes the calls share.
struct Exchange {
  std::mutex mutex;
  std::condition_variable changed;
  bool connected = false;  // the platform reported a connection to the server
  bool finished = false;
  TransportResponse response;

  void mark_connected() {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      connected = true;
    }
    changed.notify_all();
  }
  void finish(TransportResponse result) {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      response = std::move(result);
      finished = true;
    }
    changed.notify_all();
  }
};

// Called on the thread that makes the calls; the context is that thread's Exchange.
void CALLBACK on_status(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  if (status == INTERNET_STATUS_CONNECTED_TO_SERVER && context != 0) {
    reinterpret_cast<Exchange*>(context)->mark_connected();
  }
}

std::wstring wide(std::string_view gbk) {
  const std::u16string text = to_utf16(gbk, kCodePageGbk);
  return std::wstring(text.begin(), text.end());
}

void set_timeout(HINTERNET handle, DWORD option, int milliseconds) {
  DWORD value = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 1;
  InternetSetOptionW(handle, option, &value, sizeof value);
}

// A host that never accepts, or a connection that goes quiet, must not hold a worker forever.
void set_timeouts(HINTERNET handle, const TransportTimeouts& timeouts) {
  set_timeout(handle, INTERNET_OPTION_CONNECT_TIMEOUT, timeouts.connect_ms);
  set_timeout(handle, INTERNET_OPTION_SEND_TIMEOUT, timeouts.no_data_ms);
  set_timeout(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts.no_data_ms);
}

InternetHandle open_internet(const TransportRequest& request) {
  const std::wstring agent = wide(request.agent);
  if (request.proxy_list.empty()) {
    // Direct: no proxy, whatever the system or the environment is set to.
    return InternetHandle(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  }
  const std::wstring proxy_list = wide(request.proxy_list);
  return InternetHandle(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy_list.c_str(), L"", 0));
}

// The whole body, or nothing when a read fails part way: a body cut short is no answer.
Bytes read_body(HINTERNET request_handle) {
  Bytes body;
  char chunk[kReadChunkBytes];
  for (;;) {
    DWORD delivered = 0;
    if (!InternetReadFile(request_handle, chunk, kReadChunkBytes, &delivered)) return {};
    if (delivered == 0) return body;
    body.insert(body.end(), chunk, chunk + delivered);
  }
}

// The final response's block; absent when there was no response (Wine then gives a bare CR LF).
std::optional<std::string> raw_headers(HINTERNET request_handle) {
  std::wstring buffer(kHeaderBufferCharacters, L'\0');
  DWORD length = kHeaderBufferCharacters * sizeof(wchar_t);
  if (!HttpQueryInfoW(request_handle, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr)) {
    return std::nullopt;
  }
  buffer.resize(length / sizeof(wchar_t));
  if (buffer.rfind(L"HTTP/", 0) != 0) return std::nullopt;
  return from_utf16(std::u16string(buffer.begin(), buffer.end()), kCodePageGbk);
}

TransportResponse exchange_over_wininet(const TransportRequest& request, Exchange& exchange) {
  TransportResponse response;
  const InternetHandle internet = open_internet(request);
  if (!internet) return response;
  set_timeouts(internet.get(), request.timeouts);
  InternetSetStatusCallbackW(internet.get(), on_status);

  const InternetHandle connection(InternetConnectW(internet.get(), wide(request.host).c_str(),
                                                   static_cast<INTERNET_PORT>(request.port), nullptr, nullptr,
                                                   INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return response;

  // None of the flags that relax certificate checks is ever set: a certificate that does not chain
  // to a trusted root or does not name the host fails the request.
  const InternetHandle request_handle(HttpOpenRequestW(connection.get(), wide(request.verb).c_str(),
                                                       wide(request.object).c_str(), L"HTTP/1.1", nullptr, nullptr,
                                                       request_flag_word(request),
                                                       reinterpret_cast<DWORD_PTR>(&exchange)));
  if (!request_handle) return response;
  response.opened = true;
  set_timeouts(request_handle.get(), request.timeouts);

  const std::wstring headers = wide(request.header_block);
  const bool sent = HttpSendRequestW(request_handle.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                                     request.body.empty() ? nullptr : const_cast<std::uint8_t*>(request.body.data()),
                                     static_cast<DWORD>(request.body.size()));
  if (sent) response.body = read_body(request_handle.get());
  response.raw_headers = raw_headers(request_handle.get());
  return response;
}

}  // namespace

TransportResponse send_over_transport(const TransportRequest& request) {
  auto exchange = std::make_shared<Exchange>();
  // The thread may outlive this call, so it owns a copy of the request.
  auto own_request = std::make_shared<const TransportRequest>(request);
  std::thread calls([exchange, own_request] { exchange->finish(exchange_over_wininet(*own_request, *exchange)); });

  std::unique_lock<std::mutex> lock(exchange->mutex);
  const auto connect_limit = std::chrono::milliseconds(request.timeouts.connect_ms > 0 ? request.timeouts.connect_ms : 1);
  if (!exchange->changed.wait_for(lock, connect_limit, [&] { return exchange->connected || exchange->finished; })) {
    // No connection in time: give up waiting and leave the thread to end by itself.
    lock.unlock();
    calls.detach();
    TransportResponse failed;
    failed.opened = true;
    return failed;
  }
  // Connected: from here on the receive and send timeouts bound every wait.
  exchange->changed.wait(lock, [&] { return exchange->finished; });
  lock.unlock();
  calls.join();
  return std::move(exchange->response);
}

}  // namespace qw
