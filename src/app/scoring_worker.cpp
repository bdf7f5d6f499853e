#include "app/scoring_worker.h"

#include "app/count_occurrences.h"

namespace qa {

namespace {

constexpr std::string_view kQuerying = "\xB2\xE9\xD1\xAF\xD6\xD0..";  // 查询中..

}  // namespace

std::vector<Text> SearchPageUrls(const Text& question, const Endpoints& endpoints) {
  std::vector<Text> urls;
  for (int k = 1; k <= kScoredPages; ++k) {
    urls.push_back(endpoints.SearchPageUrl(question, (k - 1) * kPageStep));
  }
  return urls;
}

Text ScoreOption(const Text& option, const Text& question, const Endpoints& endpoints,
                 const PageFetcher& fetchPage, const std::atomic<bool>& cancelled) {
  int total = 0;
  for (const Text& url : SearchPageUrls(question, endpoints)) {
    if (cancelled) break;
    total += CountOccurrences(fetchPage(url, cancelled), option);
  }
  return IntToText(total);
}

Text ScoreOptionInPages(const Text& option, const std::vector<Text>& pages) {
  int total = 0;
  for (const Text& page : pages) total += CountOccurrences(page, option);
  return IntToText(total);
}

void ScoringWorker(ControlOperations& controls, const ScoringSession& session, int n,
                   const OptionScorer& score) {
  const int row = n - 1;
  bool live = false;
  Text option;
  // The check and the writes happen in one step on the user-interface thread,
  // where a new search silences this one, so a silenced worker never writes.
  controls.Invoke([&] {
    if (session.cancelled) return;
    live = true;
    controls.SetCellText(row, 1, Text(kQuerying));
    option = controls.GetCellText(row, 0);
  });
  if (!live) return;
  const Text result = score(option);
  if (session.cancelled) return;  // without waiting for the user-interface thread
  controls.Invoke([&] {
    if (!session.cancelled) controls.SetCellText(row, 1, result);
  });
}

}  // namespace qa
