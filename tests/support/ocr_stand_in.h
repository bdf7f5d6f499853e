// A stand-in for the OCR service: the token endpoint and the general OCR
// endpoint, on a StandInServer of the caller.
//
// It does not read text: it knows the quiz cards the fake mirror receiver
// shows, decodes the uploaded image and compares its pixels with the question
// area of each card, and answers the lines of the card it matches. So a
// recognised card proves that its pixels travelled the whole way.
//
//   GET  /oauth/2.0/token?grant_type=client_credentials&client_id=K&client_secret=S
//        known keys: {"access_token":T,"expires_in":2592000}
//        otherwise:  {"error":"invalid_client","error_description":"unknown client id"}
//   POST /rest/2.0/ocr/v1/general_basic?access_token=T   body image=<%-encoded Base64>
//        unknown token: {"error_code":110,"error_msg":"Access token invalid or no longer valid"}
//        matched card:  {"log_id":N,"words_result_num":N,"words_result":[{"words":L},...]}
//        otherwise:     an error object
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace qa::test {

class StandInServer;

class OcrStandIn {
 public:
  // Registers the routes on `server`, which must not be started yet.
  explicit OcrStandIn(StandInServer& server);
  // Stops the server first: its handlers use this object.
  ~OcrStandIn();
  OcrStandIn(const OcrStandIn&) = delete;
  OcrStandIn& operator=(const OcrStandIn&) = delete;

  // Keys that get `token`, which the OCR endpoint then accepts.
  void AddClient(const std::string& apiKey, const std::string& secretKey, const std::string& token);
  // A card it recognises: the pixels of its question area and its lines.
  void AddCard(const QImage& questionArea, const QStringList& lines);

  int TokenRequests() const { return tokenRequests_; }
  int OcrRequests() const { return ocrRequests_; }
  // The mean difference per colour channel (0 to 255) between the last upload
  // and the card closest to it; -1 when it could not be compared with any.
  double LastDifference() const;
  // Width and height of the last decoded upload (0 x 0 when none).
  QSize LastUploadSize() const;

  // Largest mean difference per channel still taken for a match.
  static constexpr double kTolerance = 12.0;

 private:
  struct Client {
    std::string apiKey, secretKey, token;
  };
  struct Card {
    QImage area;
    QStringList lines;
  };

  std::string Token(const std::string& apiKey, const std::string& secretKey) const;
  bool KnowsToken(const std::string& token) const;
  std::string Recognise(const std::string& body);

  StandInServer& server_;
  mutable std::mutex mutex_;
  std::vector<Client> clients_;
  std::vector<Card> cards_;
  double lastDifference_ = -1;
  QSize lastUploadSize_;
  std::atomic<int> tokenRequests_{0};
  std::atomic<int> ocrRequests_{0};
  std::atomic<long long> nextLogId_{1000};
};

}  // namespace qa::test
