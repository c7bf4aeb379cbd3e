// A scripted web service for the online tests: it reads the request the program sent and
// answers with reply lines signed the way the real service signs them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "online/form_exchange.h"
#include "platform/fake/fake_http.h"

namespace sv::online::testing {

// The request lines of a body, split at "&" and the first "=" (fine for the values the tests
// send; the program itself does not guard "&" or "=" inside values).
inline std::vector<FormLine> RequestLinesOf(std::string_view body) {
  std::vector<FormLine> lines;
  std::size_t pos = 0;
  while (pos <= body.size()) {
    const auto end = body.find('&', pos);
    const auto piece = body.substr(pos, end == std::string_view::npos ? body.npos : end - pos);
    const auto equals = piece.find('=');
    lines.push_back({std::string(piece.substr(0, equals)),
                     equals == piece.npos ? std::string() : std::string(piece.substr(equals + 1))});
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return lines;
}

inline std::string RequestCodeOf(std::string_view body) {
  const auto lines = RequestLinesOf(body);
  return lines.empty() ? std::string() : lines.back().value;
}

// A correct five-line reply with the given result, signed for the request's code.
inline std::string SignedReply(std::string_view command, std::string_view resultValue,
                               std::string_view requestCode) {
  return "System=Vestrel\r\nCommand=" + std::string(command) +
         "\r\nMessage=OK\r\nResult=" + std::string(resultValue) +
         "\r\nValCode=" + ReplyValidationCode(resultValue, requestCode);
}

// A handler answering every request with `resultValue`, correctly signed.
inline fake::FakeHttpTransport::Handler Answering(std::string command, std::string resultValue) {
  return [command, resultValue](const platform::HttpRequest& request) {
    return fake::FakeHttpTransport::Reply{
        200, SignedReply(command, resultValue, RequestCodeOf(request.body))};
  };
}

}  // namespace sv::online::testing
