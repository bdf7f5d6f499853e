#include "search_stand_in.h"

#include <numeric>

#include "stand_in_server.h"

namespace qa::test {

SearchStandIn::SearchStandIn(StandInServer& server) : server_(server) {
  server.Routes().Get("/s", [this](const httplib::Request& req, httplib::Response& res) {
    const QString question = QString::fromStdString(req.get_param_value("wd"));
    const int offset = req.has_param("pn") ? std::atoi(req.get_param_value("pn").c_str()) : -1;
    std::chrono::milliseconds delay{0};
    {
      std::lock_guard lock(mutex_);
      requests_.push_back({question, offset});
      if (auto it = questions_.find(question); it != questions_.end()) delay = it->second.delay;
    }
    if (delay.count() > 0 && !server_.Pause(delay)) return;
    res.set_content(Page(question, offset), "text/html");
  });
}

SearchStandIn::~SearchStandIn() {
  server_.Stop();
}

void SearchStandIn::AddQuestion(const QString& question,
                                const std::map<QString, PageCounts>& counts,
                                std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  questions_[question] = {counts, delay};
}

int SearchStandIn::Total(const PageCounts& counts) {
  return std::accumulate(counts.begin(), counts.end(), 0);
}

std::vector<SearchStandIn::PageRequest> SearchStandIn::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string SearchStandIn::Page(const QString& question, int offset) const {
  QString html = QStringLiteral(
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
      "<style>body{font:13px sans-serif;margin:6px 24px;color:#333}"
      "p{margin:3px 0;border-bottom:1px solid #eee}</style></head><body>\n");
  const int page = offset < 0 ? 0 : offset / 5;  // the browser asks without an offset
  {
    std::lock_guard lock(mutex_);
    if (auto it = questions_.find(question); it != questions_.end()) {
      for (const auto& [option, counts] : it->second.counts) {
        const int n = page >= 0 && page < static_cast<int>(counts.size()) ? counts[page] : 0;
        for (int i = 0; i < n; ++i) {
          html += QStringLiteral("<p>结果 ") + option + QStringLiteral("</p>\n");
        }
      }
    }
  }
  html += QStringLiteral("<p>结果</p>\n</body></html>\n");
  return html.toStdString();
}

}  // namespace qa::test
