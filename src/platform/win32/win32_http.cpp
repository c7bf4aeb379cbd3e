#include <windows.h>
// After <windows.h>, which it builds on.
#include <wininet.h>

#include "platform/win32/win32_http.h"

#include <string>

#include "common/text.h"
#include "platform/win32/http_handles.h"
#include "platform/win32/wide.h"

namespace sv::win32 {
namespace {

using platform::HttpFailure;
using platform::HttpRequest;
using platform::HttpResponse;

constexpr wchar_t kUserAgent[] = L"Sorvane";
constexpr DWORD kReadChunk = 8192;

HttpResponse Failed(DWORD error) {
  HttpResponse response;
  response.systemError = error;
  switch (error) {
    case ERROR_INTERNET_TIMEOUT:
      response.failure = HttpFailure::kTimeout;
      break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
      response.failure = HttpFailure::kConnect;
      break;
    default:
      response.failure = HttpFailure::kOther;
      break;
  }
  return response;
}

// A proxy configured for the machine must not see (or break) exchanges with a service on the
// same machine, such as the reference service of the tests and the demo.
bool IsLoopback(std::string_view host) {
  return SameTextAscii(host, "localhost") || host.starts_with("127.") || host == "::1";
}

bool SetTimeouts(HINTERNET handle, DWORD milliseconds) {
  for (const DWORD option : {static_cast<DWORD>(INTERNET_OPTION_CONNECT_TIMEOUT),
                             static_cast<DWORD>(INTERNET_OPTION_SEND_TIMEOUT),
                             static_cast<DWORD>(INTERNET_OPTION_RECEIVE_TIMEOUT)}) {
    DWORD value = milliseconds;
    if (!::InternetSetOptionW(handle, option, &value, sizeof(value))) return false;
  }
  return true;
}

}  // namespace

HttpResponse Win32HttpTransport::Post(const HttpRequest& request) {
  // Declared in this order so they close in the reverse one: request, connection, session.
  InternetHandle session(::InternetOpenW(
      kUserAgent,
      IsLoopback(request.host) ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
      nullptr, 0));
  if (!session) return Failed(::GetLastError());
  if (!SetTimeouts(session.Get(), request.readTimeoutMs)) return Failed(::GetLastError());

  InternetHandle connection(::InternetConnectW(session.Get(), Widen(request.host).c_str(),
                                               request.port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return Failed(::GetLastError());

  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
  if (!request.followRedirects) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  InternetHandle httpRequest(::HttpOpenRequestW(
      connection.Get(), L"POST", Widen(request.path).c_str(), nullptr, nullptr, nullptr, flags, 0));
  if (!httpRequest) return Failed(::GetLastError());
  if (!SetTimeouts(httpRequest.Get(), request.readTimeoutMs)) return Failed(::GetLastError());

  const std::wstring headers = L"Content-Type: " + Widen(request.contentType) + L"\r\n";
  std::string body = request.body;  // the call takes a non-const pointer
  if (!::HttpSendRequestW(httpRequest.Get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                          body.empty() ? nullptr : body.data(), static_cast<DWORD>(body.size()))) {
    return Failed(::GetLastError());
  }

  DWORD status = 0;
  DWORD statusSize = sizeof(status);
  if (!::HttpQueryInfoW(httpRequest.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &statusSize, nullptr)) {
    return Failed(::GetLastError());
  }

  HttpResponse response;
  char chunk[kReadChunk];
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(httpRequest.Get(), chunk, kReadChunk, &read)) {
      return Failed(::GetLastError());
    }
    if (read == 0) break;
    if (response.body.size() + read > platform::kMaxHttpResponseBytes) {
      HttpResponse tooLarge;
      tooLarge.failure = HttpFailure::kTooLarge;
      return tooLarge;
    }
    response.body.append(chunk, read);
  }
  response.failure = HttpFailure::kNone;
  response.status = static_cast<int>(status);
  return response;
}

}  // namespace sv::win32
