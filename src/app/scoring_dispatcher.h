// The scoring threads: one dispatcher thread per search, which starts one
// worker thread per list row, in ascending row order, never more than three
// workers running at once in the whole process. The workers of a search share
// its result pages (PageFetching::kShared): the first worker that asks has
// all five fetched at once, on threads of their own, and the others wait for
// them.
//
// A new search silences every earlier one: their workers write nothing more
// into the list and their page requests end at once; each gives its slot back
// as it ends, moments later, and only then may a worker of the new search
// take it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "app/scoring_worker.h"
#include "net/http_transport.h"

namespace qa {

// Opens `count` connections to the server of `baseUrl` ahead of the requests
// that will need them, without waiting (PrepareConnections).
using ConnectionWarmer = std::function<void(const Text& baseUrl, int count)>;

class ScoringDispatcher {
 public:
  static constexpr int kWorkerLimit = 3;

  // `warm` (may be empty) serves PrepareForSearch.
  ScoringDispatcher(ControlOperations& controls, Endpoints endpoints, PageFetcher fetchPage,
                    PageFetching fetching = PageFetching::kShared, ConnectionWarmer warm = {});
  // Shuts down without processing any events: call Shutdown first when
  // threads may wait for the user-interface thread.
  ~ScoringDispatcher();
  ScoringDispatcher(const ScoringDispatcher&) = delete;
  ScoringDispatcher& operator=(const ScoringDispatcher&) = delete;

  // Silences the scoring of every earlier search. Call it on the
  // user-interface thread before the list is changed for a new search.
  void CancelAll();

  // Called at the click, while the question is still being recognised: has
  // as many connections to the search host made ready as the pages need
  // (shared pages only).
  void PrepareForSearch();

  // Starts the dispatcher thread of a new search that scores the rows of the
  // list against `question`, and returns at once. Silences earlier searches.
  void Start(const Text& question);

  // Silences everything, lets no new thread start, ends the page requests
  // under way and waits until every scoring thread has ended, calling
  // `whileWaiting` (which should let the user-interface thread's events run)
  // between its checks. After `patience` the wait gives up and returns false. Threads still running
  // then may yet use the window and this object: keep both alive.
  bool Shutdown(const std::function<void()>& whileWaiting,
                std::chrono::milliseconds patience = std::chrono::milliseconds::max());

  // Workers holding a slot.
  int RunningWorkerCount() const;
  // Workers that have not finished their work yet, silenced ones included.
  int LiveWorkers() const { return liveWorkers_; }
  // Scoring threads that have not ended yet, silenced ones included.
  int LiveThreads();

 private:
  struct ThreadSlot {
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  void DispatchRows(const std::shared_ptr<ScoringSession>& session);
  void RunWorker(const std::shared_ptr<ScoringSession>& session, int n);
  // The total of `option` in the session's pages, as the strategy gets them.
  Text Score(const std::shared_ptr<ScoringSession>& session, const Text& option);
  void Spawn(std::function<void()> body);
  // Joins the threads that have ended. Needs threadsLock_.
  void ReapFinishedLocked();

  ControlOperations& controls_;
  const Endpoints endpoints_;
  const PageFetcher fetchPage_;
  const PageFetching fetching_;
  const ConnectionWarmer warm_;

  mutable std::mutex workerLock_;  // WorkerLock: the slots and the current session
  std::condition_variable slotFreed_;
  int runningWorkerCount_ = 0;  // RunningWorkerCount
  bool shuttingDown_ = false;
  std::shared_ptr<ScoringSession> current_;

  std::mutex threadsLock_;
  std::list<ThreadSlot> threads_;
  std::atomic<int> liveWorkers_{0};
};

}  // namespace qa
