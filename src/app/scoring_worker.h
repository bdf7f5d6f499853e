// Scoring one answer option: how often it occurs in the first five pages of
// the web search for the question.
#pragma once

#include <atomic>
#include <functional>

#include "app/control_operations.h"
#include "app/endpoints.h"
#include "text/text.h"

namespace qa {

// Fetches one search result page as text; empty on failure. It should give up
// early, with whatever it has, once `cancelled` turns true.
using PageFetcher = std::function<Text(const Text& url, const std::atomic<bool>& cancelled)>;

// The scoring of one search: its question and whether a later search (or the
// end of the program) has silenced it.
struct ScoringSession {
  explicit ScoringSession(Text q) : question(std::move(q)) {}

  const Text question;
  std::atomic<bool> cancelled{false};
  int runningWorkers = 0;  // guarded by the dispatcher's WorkerLock
};

// Result pages fetched per option, `kPageStep` results apart.
inline constexpr int kScoredPages = 5;
inline constexpr int kPageStep = 5;

// The total number of occurrences of `option` in the result pages 0, 5, 10,
// 15 and 20 of the search for `question`, in decimal. Pages that fail count
// 0. Stops fetching once `cancelled` turns true.
Text ScoreOption(const Text& option, const Text& question, const Endpoints& endpoints,
                 const PageFetcher& fetchPage, const std::atomic<bool>& cancelled);

// Works on list row n - 1: shows "查询中.." in its second column, scores the
// option of its first column and writes the total there. Nothing is written
// once the session has been silenced.
void ScoringWorker(ControlOperations& controls, const ScoringSession& session, int n,
                   const Endpoints& endpoints, const PageFetcher& fetchPage);

}  // namespace qa
