#include <windows.h>
// After <windows.h>, which it builds on.
#include <wininet.h>

#include "platform/win32/win32_http.h"

#include <string>
#include <utility>

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
constexpr int kMaxRedirects = 10;  // as WinINet itself

HttpResponse Failed(DWORD error) {
  HttpResponse response;
  response.systemError = error;
  switch (error) {
    case ERROR_INTERNET_TIMEOUT:
      response.failure = HttpFailure::kTimeout;
      break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
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

// One request without following anything; a redirection comes back with its Location.
struct Hop {
  HttpResponse response;
  std::wstring location;
};

Hop SendOnce(const std::wstring& host, INTERNET_PORT port, const std::wstring& path,
             const wchar_t* method, const HttpRequest& request, bool withBody) {
  // Declared in this order so they close in the reverse one: request, connection, session.
  InternetHandle session(::InternetOpenW(
      kUserAgent,
      IsLoopback(Narrow(host)) ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
      nullptr, 0));
  if (!session) return {Failed(::GetLastError()), {}};
  if (!SetTimeouts(session.Get(), request.readTimeoutMs)) return {Failed(::GetLastError()), {}};

  InternetHandle connection(::InternetConnectW(session.Get(), host.c_str(), port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {Failed(::GetLastError()), {}};

  // Redirections are never left to WinINet: Wine's drops the body when it repeats a POST.
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                      INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;
  InternetHandle httpRequest(::HttpOpenRequestW(connection.Get(), method, path.c_str(), nullptr,
                                                nullptr, nullptr, flags, 0));
  if (!httpRequest) return {Failed(::GetLastError()), {}};
  if (!SetTimeouts(httpRequest.Get(), request.readTimeoutMs)) {
    return {Failed(::GetLastError()), {}};
  }

  std::wstring headers;
  std::string body;  // the call takes a non-const pointer
  if (withBody) {
    headers = L"Content-Type: " + Widen(request.contentType) + L"\r\n";
    body = request.body;
  }
  if (!::HttpSendRequestW(httpRequest.Get(), headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), body.empty() ? nullptr : body.data(),
                          static_cast<DWORD>(body.size()))) {
    return {Failed(::GetLastError()), {}};
  }

  DWORD status = 0;
  DWORD statusSize = sizeof(status);
  if (!::HttpQueryInfoW(httpRequest.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &statusSize, nullptr)) {
    return {Failed(::GetLastError()), {}};
  }

  Hop hop;
  if (status >= 300 && status <= 399) {
    wchar_t location[INTERNET_MAX_URL_LENGTH] = {};
    DWORD locationSize = sizeof(location);
    if (::HttpQueryInfoW(httpRequest.Get(), HTTP_QUERY_LOCATION, location, &locationSize,
                         nullptr)) {
      hop.location.assign(location, locationSize / sizeof(wchar_t));
    }
  }

  char chunk[kReadChunk];
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(httpRequest.Get(), chunk, kReadChunk, &read)) {
      return {Failed(::GetLastError()), {}};
    }
    if (read == 0) break;
    if (hop.response.body.size() + read > platform::kMaxHttpResponseBytes) {
      HttpResponse tooLarge;
      tooLarge.failure = HttpFailure::kTooLarge;
      return {tooLarge, {}};
    }
    hop.response.body.append(chunk, read);
  }
  hop.response.failure = HttpFailure::kNone;
  hop.response.status = static_cast<int>(status);
  return hop;
}

std::wstring UrlOf(const std::wstring& host, INTERNET_PORT port, const std::wstring& path) {
  const bool ipv6 = host.find(L':') != std::wstring::npos;
  return L"http://" + (ipv6 ? L"[" + host + L"]" : host) + L":" + std::to_wstring(port) + path;
}

// Where a Location points, relative to the URL that answered with it. Plain HTTP only: the
// exchange must not move to a scheme it does not speak.
bool FollowLocation(const std::wstring& location, std::wstring& host, INTERNET_PORT& port,
                    std::wstring& path) {
  wchar_t combined[INTERNET_MAX_URL_LENGTH] = {};
  DWORD combinedLength = INTERNET_MAX_URL_LENGTH;
  if (!::InternetCombineUrlW(UrlOf(host, port, path).c_str(), location.c_str(), combined,
                             &combinedLength, ICU_NO_ENCODE)) {
    return false;
  }
  wchar_t hostBuffer[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
  wchar_t pathBuffer[INTERNET_MAX_URL_LENGTH] = {};
  wchar_t extraBuffer[INTERNET_MAX_URL_LENGTH] = {};
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = hostBuffer;
  parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
  parts.lpszUrlPath = pathBuffer;
  parts.dwUrlPathLength = INTERNET_MAX_URL_LENGTH;
  parts.lpszExtraInfo = extraBuffer;
  parts.dwExtraInfoLength = INTERNET_MAX_URL_LENGTH;
  if (!::InternetCrackUrlW(combined, combinedLength, 0, &parts) ||
      parts.nScheme != INTERNET_SCHEME_HTTP || parts.dwHostNameLength == 0) {
    return false;
  }
  host.assign(hostBuffer, parts.dwHostNameLength);
  port = parts.nPort;
  path.assign(pathBuffer, parts.dwUrlPathLength);
  path.append(extraBuffer, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";
  return true;
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

HttpResponse Win32HttpTransport::Post(const HttpRequest& request) {
  std::wstring host = Widen(request.host);
  INTERNET_PORT port = request.port;
  std::wstring path = Widen(request.path);
  const wchar_t* method = L"POST";
  bool withBody = true;
  for (int hops = 0;; ++hops) {
    Hop hop = SendOnce(host, port, path, method, request, withBody);
    if (!request.followRedirects || !hop.response.Completed() || !IsRedirect(hop.response.status) ||
        hop.location.empty()) {
      return std::move(hop.response);
    }
    if (hops >= kMaxRedirects || !FollowLocation(hop.location, host, port, path)) {
      HttpResponse failed;
      failed.failure = HttpFailure::kOther;
      return failed;
    }
    // As browsers do: 307 and 308 repeat the POST with its body, the others fetch with GET.
    if (hop.response.status != 307 && hop.response.status != 308) {
      method = L"GET";
      withBody = false;
    }
  }
}

}  // namespace sv::win32
