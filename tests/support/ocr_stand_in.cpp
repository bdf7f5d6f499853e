#include "ocr_stand_in.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdlib>

#include "stand_in_server.h"

namespace qa::test {

namespace {

std::string Json(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

// Mean absolute difference per colour channel; -1 for different sizes.
double MeanDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.isNull()) return -1;
  const QImage x = a.convertToFormat(QImage::Format_RGB32);
  const QImage y = b.convertToFormat(QImage::Format_RGB32);
  long long sum = 0;
  for (int row = 0; row < x.height(); ++row) {
    const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
    const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
    for (int col = 0; col < x.width(); ++col) {
      sum += std::abs(qRed(p[col]) - qRed(q[col])) + std::abs(qGreen(p[col]) - qGreen(q[col])) +
             std::abs(qBlue(p[col]) - qBlue(q[col]));
    }
  }
  return static_cast<double>(sum) / (3.0 * x.width() * x.height());
}

}  // namespace

OcrStandIn::OcrStandIn(StandInServer& server) : server_(server) {
  httplib::Server& routes = server.Routes();
  routes.Get("/oauth/2.0/token", [this](const httplib::Request& req, httplib::Response& res) {
    ++tokenRequests_;
    const std::string token =
        req.get_param_value("grant_type") == "client_credentials"
            ? Token(req.get_param_value("client_id"), req.get_param_value("client_secret"))
            : std::string();
    if (token.empty()) {
      res.status = 401;
      res.set_content(
          Json({{"error", "invalid_client"}, {"error_description", "unknown client id"}}),
          "application/json");
      return;
    }
    res.set_content(
        Json({{"access_token", QString::fromStdString(token)}, {"expires_in", 2592000}}),
        "application/json");
  });
  // Uploads exceed what the form-body parser accepts: read the body raw.
  routes.Post(
      "/rest/2.0/ocr/v1/general_basic", [this](const httplib::Request& req, httplib::Response& res,
                                               const httplib::ContentReader& reader) {
        ++ocrRequests_;
        std::string body;
        reader([&](const char* data, size_t length) {
          body.append(data, length);
          return true;
        });
        if (!KnowsToken(req.get_param_value("access_token"))) {
          res.set_content(
              Json({{"error_code", 110}, {"error_msg", "Access token invalid or no longer valid"}}),
              "application/json");
          return;
        }
        res.set_content(Recognise(body), "application/json");
      });
}

OcrStandIn::~OcrStandIn() {
  server_.Stop();
}

void OcrStandIn::AddClient(const std::string& apiKey, const std::string& secretKey,
                           const std::string& token) {
  std::lock_guard lock(mutex_);
  clients_.push_back({apiKey, secretKey, token});
}

void OcrStandIn::AddCard(const QImage& questionArea, const QStringList& lines) {
  std::lock_guard lock(mutex_);
  cards_.push_back({questionArea.convertToFormat(QImage::Format_RGB32), lines});
}

double OcrStandIn::LastDifference() const {
  std::lock_guard lock(mutex_);
  return lastDifference_;
}

QSize OcrStandIn::LastUploadSize() const {
  std::lock_guard lock(mutex_);
  return lastUploadSize_;
}

std::string OcrStandIn::Token(const std::string& apiKey, const std::string& secretKey) const {
  std::lock_guard lock(mutex_);
  for (const Client& c : clients_) {
    if (c.apiKey == apiKey && c.secretKey == secretKey) return c.token;
  }
  return {};
}

bool OcrStandIn::KnowsToken(const std::string& token) const {
  std::lock_guard lock(mutex_);
  for (const Client& c : clients_) {
    if (!token.empty() && c.token == token) return true;
  }
  return false;
}

std::string OcrStandIn::Recognise(const std::string& body) {
  const QByteArray form = QByteArray::fromStdString(body);
  QByteArray encoded;
  for (const QByteArray& field : form.split('&')) {
    if (field.startsWith("image=")) encoded = field.mid(6);
  }
  const QByteArray jpeg = QByteArray::fromBase64(QByteArray::fromPercentEncoding(encoded));
  const QImage upload = QImage::fromData(jpeg);

  std::lock_guard lock(mutex_);
  lastUploadSize_ = upload.isNull() ? QSize(0, 0) : upload.size();
  lastDifference_ = -1;
  if (upload.isNull()) {
    return Json({{"error_code", 216201}, {"error_msg", "image format error"}});
  }
  const Card* best = nullptr;
  for (const Card& card : cards_) {
    const double difference = MeanDifference(upload, card.area);
    if (difference < 0) continue;
    if (lastDifference_ < 0 || difference < lastDifference_) {
      lastDifference_ = difference;
      best = &card;
    }
  }
  const long long logId = nextLogId_++;
  if (best == nullptr || lastDifference_ > kTolerance) {
    return Json(
        {{"log_id", logId}, {"error_code", 282810}, {"error_msg", "image recognize error"}});
  }
  QJsonArray words;
  for (const QString& line : best->lines) words.append(QJsonObject{{"words", line}});
  return Json({{"log_id", logId},
               {"words_result_num", static_cast<int>(best->lines.size())},
               {"words_result", words}});
}

}  // namespace qa::test
