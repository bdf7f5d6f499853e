#include "app/scoring_worker.h"

#include "app/count_occurrences.h"

namespace qa {

namespace {

constexpr std::string_view kQuerying = "\xB2\xE9\xD1\xAF\xD6\xD0..";  // 查询中..

}  // namespace

Text ScoreOption(const Text& option, const Text& question, const Endpoints& endpoints,
                 const PageFetcher& fetchPage, const std::atomic<bool>& cancelled) {
  int total = 0;
  for (int k = 1; k <= kScoredPages && !cancelled; ++k) {
    const Text page = fetchPage(endpoints.SearchPageUrl(question, (k - 1) * kPageStep), cancelled);
    total += CountOccurrences(page, option);
  }
  return IntToText(total);
}

void ScoringWorker(ControlOperations& controls, const ScoringSession& session, int n,
                   const Endpoints& endpoints, const PageFetcher& fetchPage) {
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
  const Text result =
      ScoreOption(option, session.question, endpoints, fetchPage, session.cancelled);
  controls.Invoke([&] {
    if (!session.cancelled) controls.SetCellText(row, 1, result);
  });
}

}  // namespace qa
