// The result pages of one search, shared by the workers that score its
// options: each page is fetched once, whichever worker asks first, and all
// of them at once, so that a search costs one page round trip and five page
// requests however many options it scores.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "text/text.h"

namespace qa {

// Fetches one search result page as text; empty on failure. It should give up
// early, with whatever it has, once `cancelled` turns true.
using PageFetcher = std::function<Text(const Text& url, const std::atomic<bool>& cancelled)>;

class SearchPages {
 public:
  // Runs a job on a thread of its own.
  using Spawn = std::function<void(std::function<void()> job)>;

  explicit SearchPages(std::vector<Text> urls);
  SearchPages(const SearchPages&) = delete;
  SearchPages& operator=(const SearchPages&) = delete;

  // The pages, in the order of the URLs; a page that failed is empty. The
  // first call fetches them all at once, the first on the calling thread and
  // each other one on a thread made by `spawn` (whose jobs use this object,
  // `fetch` and `cancelled`: keep them alive until the jobs end); later calls
  // wait for those fetches. Called for the first time once `cancelled` is
  // true, it fetches nothing and gives empty pages.
  std::vector<Text> Get(const PageFetcher& fetch, const std::atomic<bool>& cancelled,
                        const Spawn& spawn);

 private:
  void Fetch(std::size_t index, const PageFetcher& fetch, const std::atomic<bool>& cancelled);

  const std::vector<Text> urls_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  bool started_ = false;                    // guarded by mutex_
  std::vector<std::optional<Text>> pages_;  // guarded by mutex_
};

}  // namespace qa
