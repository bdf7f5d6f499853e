// Stand-ins of the OCR and search services whose answers a test scripts
// reply by reply, on plain HTTP over raw sockets (RawRecorder), so that they
// can misbehave the way real servers and networks do: reset a connection in
// the middle of a body, stall, answer 500 with an error page, answer text that
// is not JSON or JSON of another shape, send a 50 MB page, bytes that are not
// the charset they claim, or redirect forever.
//
//   ScriptedOcrService
//     GET  /oauth/2.0/token?...client_id=K&client_secret=S
//          the known keys get the current token; others an error object
//     POST /rest/2.0/ocr/v1/general_basic?access_token=T
//          the current token: the test's reply for the n-th such upload;
//          any other token: the service's error object for an invalid token
//   ScriptedSearchService
//     GET  /s?wd=Q&pn=N   the test's reply for question Q and offset N
//     GET  /s?wd=Q        (the browser) a small page
//   both
//     any  /loop          302 to /loop, for ever
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "raw_recorder.h"

namespace qa::test {

// Replies that go wrong on the connection.
//
// Announces the whole body, sends its first `sent` bytes, waits a moment (so
// the client has read them) and resets the connection.
RawReply ResetMidBody(std::string_view body, std::size_t sent);
// Reads the request and answers nothing until the service ends.
RawReply Stalled();
// "302 Found" to `location`.
RawReply RedirectTo(std::string_view location);
// A page with the status line and a Content-Type of text/html.
RawReply HtmlReply(std::string_view body, std::string_view statusLine = "HTTP/1.1 200 OK");
// A reply of JSON text with the Content-Type of the OCR service.
RawReply JsonReply(std::string_view json);

// The OCR service's reply for these recognised lines (UTF-8 JSON).
std::string OcrLinesJson(const QStringList& lines);

class ScriptedOcrService {
 public:
  static constexpr std::string_view kApiKey = "scripted-api";
  static constexpr std::string_view kSecretKey = "scripted-secret";

  // `ocrReply` answers the n-th upload (from 1) that carries the current token.
  explicit ScriptedOcrService(std::function<RawReply(int n)> ocrReply);

  bool Ok() const { return recorder_->Ok(); }
  std::string BaseUrl() const { return recorder_->BaseUrl(); }

  // The token the keys get now.
  std::string Token() const;
  // The service hands out a new token; the one before no longer works, as
  // when a token expires.
  void ReissueToken();

  int TokenRequests() const;
  int OcrRequests() const;  // every upload, with a valid token or not

 private:
  RawReply Answer(const RecordedRequest& request);

  std::function<RawReply(int)> ocrReply_;
  mutable std::mutex mutex_;
  int generation_ = 1;
  int tokenRequests_ = 0;
  int ocrRequests_ = 0;
  int acceptedUploads_ = 0;
  // Last: it serves from its own threads as soon as it exists.
  std::unique_ptr<RawRecorder> recorder_;
};

class ScriptedSearchService {
 public:
  // `page` answers the scoring's page requests: question (decoded from
  // UTF-8) and offset.
  explicit ScriptedSearchService(std::function<RawReply(const QString& question, int offset)> page);

  bool Ok() const { return recorder_->Ok(); }
  std::string BaseUrl() const { return recorder_->BaseUrl(); }
  // Page requests with an offset so far.
  int PageRequests() const;

 private:
  RawReply Answer(const RecordedRequest& request);

  std::function<RawReply(const QString&, int)> page_;
  mutable std::mutex mutex_;
  int pageRequests_ = 0;
  std::unique_ptr<RawRecorder> recorder_;
};

}  // namespace qa::test
