#include "app/search_pages.h"

namespace qa {

SearchPages::SearchPages(std::vector<Text> urls) : urls_(std::move(urls)), pages_(urls_.size()) {}

std::vector<Text> SearchPages::Get(const PageFetcher& fetch, const std::atomic<bool>& cancelled,
                                   const Spawn& spawn) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    if (!started_) {
      started_ = true;
      first = true;
      if (cancelled) {
        for (auto& page : pages_) page.emplace();
      }
    }
  }
  if (first && !cancelled) {
    for (std::size_t i = 1; i < urls_.size(); ++i) {
      spawn([this, i, &fetch, &cancelled] { Fetch(i, fetch, cancelled); });
    }
    if (!urls_.empty()) Fetch(0, fetch, cancelled);
  }
  std::unique_lock lock(mutex_);
  arrived_.wait(lock, [this] {
    for (const auto& page : pages_) {
      if (!page) return false;
    }
    return true;
  });
  std::vector<Text> pages;
  for (const auto& page : pages_) pages.push_back(*page);
  return pages;
}

void SearchPages::Fetch(std::size_t index, const PageFetcher& fetch,
                        const std::atomic<bool>& cancelled) {
  Text page = fetch(urls_[index], cancelled);
  {
    std::lock_guard lock(mutex_);
    pages_[index] = std::move(page);
  }
  arrived_.notify_all();
}

}  // namespace qa
