#include "link/SyncJobs.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>

#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "model/DebugLog.h"
#include "model/DeviceModels.h"
#include "model/ParameterImage.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;

enum class JobKind { Read, Write };

constexpr auto kStartPause = 100ms;  // lets a status reply in flight arrive before the job's first send
constexpr auto kEndPause = 50ms;

struct Chunk {
  std::uint16_t offset;
  std::uint8_t length;
};

constexpr Chunk ImageChunk(int index) {
  const int offset = index * kImageChunkSize;
  return {std::uint16_t(offset), std::uint8_t(std::min(kImageChunkSize, kImageSize - offset))};
}
static_assert(ImageChunk(kImageChunkCount - 1).offset == 3472 && ImageChunk(kImageChunkCount - 1).length == 46);

// One worker thread runs the jobs in order. It is created when a job is requested and
// leaves when nothing waits; the next request joins the finished thread and starts a
// new one. Nothing is detached: ShutdownSyncJobs and the destructor join the worker.
std::mutex& ProgressMutex() {
  static std::mutex m;
  return m;
}
SyncProgressObserver& ProgressObserver() {
  static SyncProgressObserver observer;
  return observer;
}

// Tells the observer, if any, that a chunk went out (called on the job thread).
void ReportChunk(int job, int chunk) {
  SyncProgressObserver observer;
  {
    std::lock_guard lock(ProgressMutex());
    observer = ProgressObserver();
  }
  if (observer) observer(job, chunk + 1, kImageChunkCount);
}

class JobRunner {
 public:
  ~JobRunner() { Shutdown(); }

  void Request(JobKind kind) {
    std::thread finished;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      if (std::find(pending_.begin(), pending_.end(), kind) == pending_.end()) pending_.push_back(kind);
      if (workerActive_) return;  // the worker takes it when the current job ends
      finished = std::move(worker_);
      workerActive_ = true;
      worker_ = std::thread([this] { Run(); });
    }
    // The previous worker has already left Run(); this join does not wait for a job.
    if (finished.joinable()) finished.join();
  }

  void Shutdown() {
    std::thread worker;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      pending_.clear();
      worker = std::move(worker_);
    }
    if (worker.joinable()) {
      if (worker.get_id() == std::this_thread::get_id()) {
        // Called from a job itself: the caller returns into the job, which now stops.
        std::lock_guard lock(mutex_);
        worker_ = std::move(worker);
        return;
      }
      worker.join();
    }
    std::lock_guard lock(mutex_);
    stopping_ = false;
  }

  bool WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return !workerActive_; });
  }

  // A job goes on only while the link is up and no shutdown asks it to stop.
  bool MayContinue() const { return CurrentLink().connected && !stopping_; }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    while (!pending_.empty() && !stopping_) {
      const JobKind kind = pending_.front();
      pending_.pop_front();
      lock.unlock();
      if (kind == JobKind::Read)
        RunReadJob();
      else
        RunWriteJob();
      lock.lock();
    }
    workerActive_ = false;
    idle_.notify_all();
  }

  void BeginJob() {
    ClearStatusBlock();
    CurrentLink().statusPollingAllowed = false;
    std::this_thread::sleep_for(kStartPause);
  }

  // A job stopped by a shutdown does not notify: the window it would notify is closing.
  void EndJob(std::intptr_t syncKind, const char* logLine) {
    LinkState& link = CurrentLink();
    if (!stopping_) {
      if (NotificationSink* sink = link.sink.load()) sink->Post(kMsgSyncDone, syncKind, 0);
    }
    ClearStatusBlock();
    link.statusPollingAllowed = true;
    if (!stopping_) DebugLog(logLine);
  }

  void RunReadJob() {
    BeginJob();
    ReadSequence();
    EndJob(0, "End thread: Delay Read SynchronizeData\n");
  }

  void SendIdentityQueries() {
    SendCommand({kCmdModelName});
    SendCommand({kCmdProtocolCode});
  }

  void SendVersionQueries() {
    SendCommand({kCmdMcuVersion});
    SendCommand({kCmdDspVersion});
  }

  // Each command waits for the previous command's reply, so an answer is in the model
  // once the next command has gone out: the model name and protocol code are known after
  // 0x81, and the image is complete once 0x92 has been sent.
  void ReadSequence() {
    LinkState& link = CurrentLink();
    link.queuedSendMode = false;
    SendIdentityQueries();
    if (!MayContinue()) return;
    SendVersionQueries();
    if (!MayContinue()) return;
    DeviceIdentity identity = IdentitySnapshot();
    if (!IsKnownModel(identity.ModelName()) && identity.protocolCode != kSupportedProtocol) {
      SendIdentityQueries();
      if (!MayContinue()) return;
      SendVersionQueries();
      if (!MayContinue()) return;
      identity = IdentitySnapshot();
    }
    // A foreign device is not read; the identity check after message 1002 reports it.
    if (!IdentityAccepted(identity)) return;
    SendCommand({kCmdGetMode});
    if (!MayContinue()) return;
    for (int i = 0; i < kImageChunkCount; ++i) {
      // A USB send waits a whole reply time-out even when the device is gone: stop here
      // rather than spend 63 time-outs on a dropped link.
      if (!MayContinue()) return;
      const Chunk c = ImageChunk(i);
      SendCommand({kCmdReadImage, std::uint8_t(c.offset >> 8), std::uint8_t(c.offset), c.length});
      ReportChunk(0, i);
    }
    SendCommand({kCmdGetMachineSettings});
    if (!MayContinue()) return;
    ApplyImage();
    if (!MayContinue()) return;
    SendCommand({kCmdGetRemoteTable});
    link.changedFlag = false;
    link.queuedSendMode = true;
    std::this_thread::sleep_for(kEndPause);
  }

  void RunWriteJob() {
    BeginJob();
    LinkState& link = CurrentLink();
    link.queuedSendMode = false;
    const ParameterImageBytes image = ImageSnapshot();
    bool sent = true;
    for (int i = 0; i < kImageChunkCount && sent; ++i) {
      sent = MayContinue();  // as in the read job: no time-outs spent on a dropped link
      if (!sent) break;
      const Chunk c = ImageChunk(i);
      SendOffsetWrite(kCmdWriteImage, c.offset, std::span(image).subspan(c.offset, c.length));
      ReportChunk(1, i);
    }
    if (sent) SendCommand({kCmdEndImageWrite});
    link.queuedSendMode = true;
    std::this_thread::sleep_for(kEndPause);
    link.changedFlag = false;
    EndJob(1, "End thread: SynchronizeWriteThreadProc\n");
  }

  std::mutex mutex_;
  std::condition_variable idle_;
  std::deque<JobKind> pending_;  // at most one of each kind
  bool workerActive_ = false;    // a worker is in Run() and will take pending jobs
  std::atomic<bool> stopping_{false};
  std::thread worker_;
};

JobRunner& Runner() {
  // The link and the model are created first so that they outlive the runner, whose
  // destructor may still let a job finish.
  CurrentLink();
  CurrentModel();
  static JobRunner runner;
  return runner;
}

}  // namespace

void StartReadJob() { Runner().Request(JobKind::Read); }

void StartWriteJob() { Runner().Request(JobKind::Write); }

void InstallSyncJobs() {
  Runner();
  CurrentLink().readJobStarter = [] { StartReadJob(); };
}

void ShutdownSyncJobs() { Runner().Shutdown(); }

bool WaitForSyncJobsIdle(std::chrono::milliseconds timeout) { return Runner().WaitIdle(timeout); }

void SetSyncProgressObserver(SyncProgressObserver observer) {
  std::lock_guard lock(ProgressMutex());
  ProgressObserver() = std::move(observer);
}

}  // namespace dsptune
