#include "fault_services.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>
#include <chrono>

namespace qa::test {

namespace {

// The path and the decoded query of a request line "GET /path?query HTTP/1.1".
struct Target {
  QString path;
  QUrlQuery query;
};

Target TargetOf(const RecordedRequest& request) {
  const std::string line = request.RequestLine();
  const std::size_t start = line.find(' ');
  const std::size_t end = line.rfind(' ');
  if (start == std::string::npos || end <= start) return {};
  const QUrl url(QStringLiteral("http://stand-in") +
                 QString::fromUtf8(line.substr(start + 1, end - start - 1)));
  return {url.path(), QUrlQuery(url)};
}

QString Param(const Target& target, const char* name) {
  return target.query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
}

}  // namespace

RawReply ResetMidBody(std::string_view body, std::size_t sent) {
  RawReply reply =
      RawReply::Response("HTTP/1.1 200 OK", {"Content-Type: text/html; charset=utf-8"}, body);
  reply.bytes.resize(reply.bytes.size() - body.size() + std::min(sent, body.size()));
  reply.pauseBeforeEnd = std::chrono::milliseconds(200);
  reply.end = RawReply::End::kReset;
  return reply;
}

RawReply Stalled() {
  RawReply reply;
  reply.delay = std::chrono::hours(1);  // ends early when the service stops
  reply.end = RawReply::End::kClose;
  return reply;
}

RawReply RedirectTo(std::string_view location) {
  return RawReply::Response("HTTP/1.1 302 Found", {"Location: " + std::string(location)}, "moved");
}

RawReply HtmlReply(std::string_view body, std::string_view statusLine) {
  return RawReply::Response(statusLine, {"Content-Type: text/html"}, body);
}

RawReply JsonReply(std::string_view json) {
  return RawReply::Response("HTTP/1.1 200 OK", {"Content-Type: application/json;charset=UTF-8"},
                            json);
}

std::string OcrLinesJson(const QStringList& lines) {
  QJsonArray words;
  for (const QString& line : lines) words.append(QJsonObject{{"words", line}});
  const QJsonObject reply{{"log_id", 4242},
                          {"words_result_num", static_cast<int>(lines.size())},
                          {"words_result", words}};
  return QJsonDocument(reply).toJson(QJsonDocument::Compact).toStdString();
}

ScriptedOcrService::ScriptedOcrService(std::function<RawReply(int n)> ocrReply)
    : ocrReply_(std::move(ocrReply)),
      recorder_(std::make_unique<RawRecorder>(
          [this](const RecordedRequest& request) { return Answer(request); })) {}

std::string ScriptedOcrService::Token() const {
  std::lock_guard lock(mutex_);
  return "24.scripted-token-" + std::to_string(generation_);
}

void ScriptedOcrService::ReissueToken() {
  std::lock_guard lock(mutex_);
  ++generation_;
}

int ScriptedOcrService::TokenRequests() const {
  std::lock_guard lock(mutex_);
  return tokenRequests_;
}

int ScriptedOcrService::OcrRequests() const {
  std::lock_guard lock(mutex_);
  return ocrRequests_;
}

RawReply ScriptedOcrService::Answer(const RecordedRequest& request) {
  const Target target = TargetOf(request);
  if (target.path == QStringLiteral("/loop")) return RedirectTo("/loop");
  const std::string token = Token();
  if (target.path == QStringLiteral("/oauth/2.0/token")) {
    {
      std::lock_guard lock(mutex_);
      ++tokenRequests_;
    }
    if (Param(target, "client_id").toStdString() != kApiKey ||
        Param(target, "client_secret").toStdString() != kSecretKey) {
      return JsonReply(R"({"error":"invalid_client","error_description":"unknown client id"})");
    }
    return JsonReply(R"({"access_token":")" + token + R"(","expires_in":2592000})");
  }
  if (target.path == QStringLiteral("/rest/2.0/ocr/v1/general_basic")) {
    int n = 0;
    {
      std::lock_guard lock(mutex_);
      ++ocrRequests_;
      if (Param(target, "access_token").toStdString() == token) n = ++acceptedUploads_;
    }
    if (n == 0) {
      return JsonReply(
          R"({"error_code":110,"error_msg":"Access token invalid or no longer valid"})");
    }
    return ocrReply_(n);
  }
  return HtmlReply("not found", "HTTP/1.1 404 Not Found");
}

ScriptedSearchService::ScriptedSearchService(
    std::function<RawReply(const QString& question, int offset)> page)
    : page_(std::move(page)),
      recorder_(std::make_unique<RawRecorder>(
          [this](const RecordedRequest& request) { return Answer(request); })) {}

int ScriptedSearchService::PageRequests() const {
  std::lock_guard lock(mutex_);
  return pageRequests_;
}

RawReply ScriptedSearchService::Answer(const RecordedRequest& request) {
  const Target target = TargetOf(request);
  if (target.path == QStringLiteral("/loop")) return RedirectTo("/loop");
  if (!target.query.hasQueryItem(QStringLiteral("pn"))) {
    return HtmlReply("<html><head><meta charset=\"utf-8\"></head><body>search</body></html>");
  }
  {
    std::lock_guard lock(mutex_);
    ++pageRequests_;
  }
  return page_(Param(target, "wd"), Param(target, "pn").toInt());
}

}  // namespace qa::test
