// A stand-in for the web search, on a StandInServer of the caller:
//
//   GET /s?wd=Q&pn=N   an HTML page (UTF-8, declared in a meta tag) of the
//                      results of question Q from offset N (0, 5, 10, 15, 20)
//
// For each question it knows, each option occurs on each page exactly as often
// as configured; an unknown question gets a page without any option. The page
// around the results holds only ASCII markup and the word "结果", so options
// that do not occur in those are counted exactly.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qa::test {

class StandInServer;

class SearchStandIn {
 public:
  static constexpr int kPages = 5;
  using PageCounts = std::vector<int>;  // per page 0..4 (offsets 0, 5, ..., 20)

  // Registers the route on `server`, which must not be started yet.
  explicit SearchStandIn(StandInServer& server);
  // Stops the server first: its handler uses this object.
  ~SearchStandIn();
  SearchStandIn(const SearchStandIn&) = delete;
  SearchStandIn& operator=(const SearchStandIn&) = delete;

  // The occurrences of each option on the pages of `question`, and a wait
  // before each of its pages is answered.
  void AddQuestion(const QString& question, const std::map<QString, PageCounts>& counts,
                   std::chrono::milliseconds delay = std::chrono::milliseconds(0));
  // The total over the five pages, as the program should show it.
  static int Total(const PageCounts& counts);

  // Every page asked for, in order of arrival: the question and the offset
  // (-1 without one, as the browser asks).
  struct PageRequest {
    QString question;
    int offset = 0;
  };
  std::vector<PageRequest> Requests() const;

  // The page served for the question and offset (UTF-8).
  std::string Page(const QString& question, int offset) const;

 private:
  struct Question {
    std::map<QString, PageCounts> counts;
    std::chrono::milliseconds delay{0};
  };

  StandInServer& server_;
  mutable std::mutex mutex_;
  std::map<QString, Question> questions_;
  std::vector<PageRequest> requests_;
};

}  // namespace qa::test
