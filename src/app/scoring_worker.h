// Scoring one answer option: how often it occurs in the first five pages of
// the web search for the question.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "app/control_operations.h"
#include "app/endpoints.h"
#include "app/search_pages.h"
#include "net/http_transport.h"
#include "text/text.h"

namespace qa {

// Result pages fetched per option, `kPageStep` results apart.
inline constexpr int kScoredPages = 5;
inline constexpr int kPageStep = 5;

// How the workers of a search come by their result pages.
enum class PageFetching {
  // The search's pages are fetched once and shared by its workers, all five
  // at once, on connections made ready at the click.
  kShared,
  // Each worker fetches its own five pages, one after the other. Slower, and
  // three times the requests; kept to compare with in benchmarks and tests.
  kPerWorker,
};

// The five result-page URLs of the search for `question`: offsets 0, 5, 10,
// 15 and 20.
std::vector<Text> SearchPageUrls(const Text& question, const Endpoints& endpoints);

// The scoring of one search: its question, its shared pages and whether a
// later search (or the end of the program) has silenced it.
struct ScoringSession {
  ScoringSession(Text q, const Endpoints& endpoints)
      : question(std::move(q)), pages(SearchPageUrls(question, endpoints)) {}

  const Text question;
  SearchPages pages;
  std::atomic<bool> cancelled{false};
  // Its page requests, ended at once when the session is silenced.
  TransferCancelToken transfers;
};

// The total number of occurrences of `option` in the result pages 0, 5, 10,
// 15 and 20 of the search for `question`, fetched one after the other, in
// decimal. Pages that fail count 0. Stops fetching once `cancelled` turns
// true.
Text ScoreOption(const Text& option, const Text& question, const Endpoints& endpoints,
                 const PageFetcher& fetchPage, const std::atomic<bool>& cancelled);

// The total number of occurrences of `option` in `pages`, in decimal.
Text ScoreOptionInPages(const Text& option, const std::vector<Text>& pages);

// Gives the total of an option, in decimal.
using OptionScorer = std::function<Text(const Text& option)>;

// Works on list row n - 1: shows "查询中.." in its second column, scores the
// option of its first column and writes the total there. Nothing is written
// once the session has been silenced.
void ScoringWorker(ControlOperations& controls, const ScoringSession& session, int n,
                   const OptionScorer& score);

}  // namespace qa
