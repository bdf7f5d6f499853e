#include "app/scoring_dispatcher.h"

#include <chrono>

namespace qa {

ScoringDispatcher::ScoringDispatcher(ControlOperations& controls, Endpoints endpoints,
                                     PageFetcher fetchPage, PageFetching fetching,
                                     ConnectionWarmer warm)
    : controls_(controls),
      endpoints_(std::move(endpoints)),
      fetchPage_(std::move(fetchPage)),
      fetching_(fetching),
      warm_(std::move(warm)) {}

ScoringDispatcher::~ScoringDispatcher() {
  Shutdown([] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
}

void ScoringDispatcher::CancelAll() {
  {
    std::lock_guard lock(workerLock_);
    if (current_) {
      current_->cancelled = true;
      // Its page requests end at once; its workers give their slots back as
      // they end, so that no more than three ever work at once.
      current_->transfers.Cancel();
      current_.reset();
    }
  }
  slotFreed_.notify_all();
}

void ScoringDispatcher::PrepareForSearch() {
  if (fetching_ == PageFetching::kShared && warm_) warm_(endpoints_.searchBase, kScoredPages);
}

void ScoringDispatcher::Start(const Text& question) {
  CancelAll();
  auto session = std::make_shared<ScoringSession>(question, endpoints_);
  {
    std::lock_guard lock(workerLock_);
    if (shuttingDown_) return;
    current_ = session;
  }
  Spawn([this, session] { DispatchRows(session); });
}

void ScoringDispatcher::DispatchRows(const std::shared_ptr<ScoringSession>& session) {
  int started = 0;
  for (;;) {
    int rows = -1;
    controls_.Invoke([&] {
      if (!session->cancelled) rows = controls_.RowCount();
    });
    if (started >= rows) return;  // all rows started, or silenced (rows -1)
    {
      std::unique_lock lock(workerLock_);
      slotFreed_.wait(lock, [&] {
        return session->cancelled || shuttingDown_ || runningWorkerCount_ < kWorkerLimit;
      });
      if (session->cancelled || shuttingDown_) return;
      ++runningWorkerCount_;
      ++started;
    }
    const int n = started;
    ++liveWorkers_;
    Spawn([this, session, n] { RunWorker(session, n); });
  }
}

void ScoringDispatcher::RunWorker(const std::shared_ptr<ScoringSession>& session, int n) {
  {
    TransferCancelScope scope(session->transfers);
    ScoringWorker(controls_, *session, n,
                  [this, &session](const Text& option) { return Score(session, option); });
  }
  --liveWorkers_;  // its work is done; only its slot is left to give back
  {
    std::lock_guard lock(workerLock_);
    --runningWorkerCount_;
  }
  slotFreed_.notify_all();
}

Text ScoringDispatcher::Score(const std::shared_ptr<ScoringSession>& session, const Text& option) {
  if (fetching_ == PageFetching::kPerWorker) {
    return ScoreOption(option, session->question, endpoints_, fetchPage_, session->cancelled);
  }
  if (option.empty()) return ScoreOptionInPages(option, {});  // found nowhere: no need to wait
  // The page threads keep the session, whose pages and flag they use.
  const auto spawn = [this, session](std::function<void()> job) {
    Spawn([this, session, job = std::move(job)] {
      TransferCancelScope scope(session->transfers);
      job();
    });
  };
  return ScoreOptionInPages(option, session->pages.Get(fetchPage_, session->cancelled, spawn));
}

void ScoringDispatcher::Spawn(std::function<void()> body) {
  std::lock_guard lock(threadsLock_);
  ReapFinishedLocked();
  ThreadSlot& slot = threads_.emplace_back();
  slot.thread = std::thread([&slot, body = std::move(body)] {
    body();
    slot.finished = true;
  });
}

void ScoringDispatcher::ReapFinishedLocked() {
  for (auto it = threads_.begin(); it != threads_.end();) {
    if (it->finished) {
      it->thread.join();
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
}

bool ScoringDispatcher::Shutdown(const std::function<void()>& whileWaiting,
                                 std::chrono::milliseconds patience) {
  const auto start = std::chrono::steady_clock::now();
  CancelAll();
  {
    std::lock_guard lock(workerLock_);
    shuttingDown_ = true;
  }
  slotFreed_.notify_all();
  for (;;) {
    {
      std::lock_guard lock(threadsLock_);
      ReapFinishedLocked();
      if (threads_.empty()) return true;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    if (waited > patience) return false;
    whileWaiting();
  }
}

int ScoringDispatcher::RunningWorkerCount() const {
  std::lock_guard lock(workerLock_);
  return runningWorkerCount_;
}

int ScoringDispatcher::LiveThreads() {
  std::lock_guard lock(threadsLock_);
  ReapFinishedLocked();
  return static_cast<int>(threads_.size());
}

}  // namespace qa
