#include "link/SyncJobs.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <mutex>
#include <span>
#include <thread>

#include "link/CommandSet.h"
#include "link/DeviceSession.h"
#include "link/LinkState.h"
#include "model/DebugLog.h"
#include "model/DeviceModels.h"
#include "model/ParameterImage.h"
#include "model/SettingsDiff.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;

enum class JobKind { Read, Write, WriteVerified };

constexpr auto kStartPause = 100ms;  // lets a status reply in flight arrive before the job's first send
constexpr auto kEndPause = 50ms;
// Reply time-outs without any answer after which a transfer gives up.
constexpr int kSilenceLimit = 4;

}  // namespace

// One worker thread runs one session's jobs in order. It is created when a job is
// requested and leaves when nothing waits; the next request joins the finished thread
// and starts a new one. Nothing is detached: ShutdownSyncJobs and the destructor join the
// worker.
class SyncJobRunner {
 public:
  explicit SyncJobRunner(DeviceSession& session) : session_(session) {}
  ~SyncJobRunner() { Shutdown(); }

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

  // A job goes on only while the link is up, no other host holds the module, the job's
  // time is not up and no shutdown asks it to stop.
  bool MayContinue() const {
    const LinkState& link = session_.Link();
    return link.connected && !link.hostBusy && !OutOfTime() && !stopping_;
  }

  bool OutOfTime() const {
    const std::chrono::milliseconds limit(timeLimitMs_.load());
    return limit.count() > 0 && std::chrono::steady_clock::now() - jobStart_ >= limit;
  }

  // Before each send of a transfer: also stop once the device has said nothing for
  // several reply time-outs. Each unanswered command costs a whole time-out, so a
  // silent or garbled device would otherwise hold the user for minutes.
  bool Proceed() const {
    if (!MayContinue()) return false;
    const auto quiet = std::chrono::steady_clock::now() - session_.Ledger().LastAnswer();
    return quiet < kSilenceLimit * session_.Link().replyTimeout;
  }

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
        RunWriteJob(kind == JobKind::WriteVerified);
      lock.lock();
    }
    workerActive_ = false;
    idle_.notify_all();
  }

  void BeginJob() {
    jobStart_ = std::chrono::steady_clock::now();
    ClearStatusBlock(session_.Link());
    session_.Link().statusPollingAllowed = false;
    std::this_thread::sleep_for(kStartPause);
    const LinkState& link = session_.Link();
    garbledAtStart_ = link.garbledReceives.load();
  }

  // A job stopped by a shutdown does not notify: the window it would notify is closing.
  void EndJob(const SyncResult& result, const char* logLine) {
    LinkState& link = session_.Link();
    session_.Ledger().Begin(LedgerMode::Idle);  // late image answers must not land anywhere
    {
      std::lock_guard lock(resultMutex_);
      lastResult_ = result;
    }
    if (result.outcome != SyncOutcome::Done)
      DebugLog(std::string("Sync job failed: ") + SyncOutcomeText(result.outcome) + "\n");
    if (!stopping_) {
      if (NotificationSink* sink = link.sink.load())
        sink->Post(kMsgSyncDone, result.job, static_cast<std::intptr_t>(result.outcome));
    }
    ClearStatusBlock(link);
    link.statusPollingAllowed = true;
    if (!stopping_) DebugLog(logLine);
  }

  // Why a job could not finish, judged by what came back while it ran.
  // A link that closed is named as such, unless it was the link's own silence check
  // that closed it: then the device had simply stopped answering.
  SyncOutcome Failure() const {
    const LinkState& link = session_.Link();
    if (link.hostBusy) return SyncOutcome::DeviceBusy;
    if (!link.connected && !link.closedForSilence) return SyncOutcome::LinkLost;
    if (OutOfTime()) return SyncOutcome::TimedOut;
    const bool garbled = link.garbledReceives.load() != garbledAtStart_;
    if (session_.Ledger().Answers() == 0) return garbled ? SyncOutcome::GarbledStream : SyncOutcome::DeviceSilent;
    if (!link.connected) return SyncOutcome::LinkLost;
    return garbled ? SyncOutcome::GarbledStream : SyncOutcome::Incomplete;
  }

  // A wait that ran out means that answer is not coming: the next send need not wait
  // for it a second time.
  void GiveUpOnReply() {
    session_.Ledger().ReplyTimedOut();
    session_.Link().replyEvent.Set();
  }

  // Waits for the answers to `codes`; asks again for the missing ones, up to
  // kSyncRetries times. The first wait costs nothing on a healthy link: the answers
  // are in, or the last one is a round trip away.
  bool AwaitAnswers(std::initializer_list<std::uint8_t> codes) {
    const std::span<const std::uint8_t> all(codes.begin(), codes.size());
    for (int attempt = 0;; ++attempt) {
      if (session_.Ledger().WaitForAnswers(all, session_.Link().replyTimeout)) return true;
      if (attempt == kSyncRetries || !Proceed()) return false;
      GiveUpOnReply();
      for (std::uint8_t code : codes) {
        if (session_.Ledger().Answered(code)) continue;
        if (!Proceed()) return false;
        SendCommand(session_, {code});
      }
    }
  }

  // The same for image chunks, asked again with `ask`.
  // A round ends when the last chunk asked is answered (all before it are then in, or
  // lost) or after one reply time-out, so lost answers cost no extra wait.
  template <typename Ask>
  bool AwaitChunks(Ask ask) {
    int last = kImageChunkCount - 1;
    for (int attempt = 0;; ++attempt) {
      if (session_.Ledger().WaitForChunks(session_.Link().replyTimeout, last)) return true;
      if (attempt == kSyncRetries || !Proceed()) return false;
      if (!session_.Ledger().Chunks().test(std::size_t(last))) GiveUpOnReply();
      const ChunkSet have = session_.Ledger().Chunks();
      for (int i = 0; i < kImageChunkCount; ++i) {
        if (have.test(std::size_t(i))) continue;
        if (!Proceed()) return false;
        ask(i);
        last = i;
      }
    }
  }

  void AskChunk(int i) {
    const ImageChunk c = ImageChunkAt(i);
    SendCommand(session_, {kCmdReadImage, std::uint8_t(c.offset >> 8), std::uint8_t(c.offset), c.length});
  }

  void SendChunk(const ParameterImageBytes& image, int i) const {
    const ImageChunk c = ImageChunkAt(i);
    SendOffsetWrite(session_, kCmdWriteImage, c.offset, std::span(image).subspan(c.offset, c.length));
  }

  void RunReadJob() {
    BeginJob();
    SyncResult result;
    result.job = 0;
    result.outcome = ReadSequence(result.awaitingChoice);
    result.chunksConfirmed = int(session_.Ledger().Chunks().count());
    EndJob(result, "End thread: Delay Read SynchronizeData\n");
  }

  void SendIdentityQueries() {
    SendCommand(session_, {kCmdModelName});
    SendCommand(session_, {kCmdProtocolCode});
  }

  void SendVersionQueries() {
    SendCommand(session_, {kCmdMcuVersion});
    SendCommand(session_, {kCmdDspVersion});
  }

  static constexpr std::uint8_t kIdentityCodes[] = {kCmdModelName, kCmdProtocolCode, kCmdMcuVersion, kCmdDspVersion};
  bool AwaitIdentity() { return AwaitAnswers({kCmdModelName, kCmdProtocolCode, kCmdMcuVersion, kCmdDspVersion}); }

  // Asks for all 63 chunks into the ledger's staging copy and waits until each one came.
  bool ReadAllChunks(int progressJob) {
    for (int i = 0; i < kImageChunkCount; ++i) {
      // A USB send waits a whole reply time-out even when the device is gone: stop here
      // rather than spend 63 time-outs on a dropped link.
      if (!Proceed()) return false;
      AskChunk(i);
      if (progressJob == 0) ReportChunk(0, i);
    }
    return AwaitChunks([this](int i) { AskChunk(i); });
  }

  // The order of sends is the device's: identity, mode, image, settings, remote table.
  // The answers are counted as they come; the image reaches the model only once every
  // one of them is in.
  SyncOutcome ReadSequence(bool& awaitingChoice) {
    LinkState& link = session_.Link();
    link.queuedSendMode = false;
    session_.Ledger().Begin(LedgerMode::Read);
    SendIdentityQueries();
    if (!Proceed()) return Failure();
    SendVersionQueries();
    if (!Proceed() || !AwaitIdentity()) return Failure();
    DeviceIdentity identity = IdentitySnapshot(session_.Model());
    if (!IsKnownModel(identity.ModelName()) && identity.protocolCode != kSupportedProtocol) {
      session_.Ledger().Forget(kIdentityCodes);  // the second round's answers are the ones that count
      SendIdentityQueries();
      if (!Proceed()) return Failure();
      SendVersionQueries();
      if (!Proceed() || !AwaitIdentity()) return Failure();
      identity = IdentitySnapshot(session_.Model());
    }
    // A foreign device is not read.
    if (!IdentityAccepted(identity)) return SyncOutcome::IdentityMismatch;
    SendCommand(session_, {kCmdGetMode});
    if (!Proceed()) return Failure();
    if (!ReadAllChunks(0) || !AwaitAnswers({kCmdGetMode})) return Failure();
    SendCommand(session_, {kCmdGetMachineSettings});
    if (!Proceed()) return Failure();
    SendCommand(session_, {kCmdGetRemoteTable});
    if (!AwaitAnswers({kCmdGetMachineSettings, kCmdGetRemoteTable})) return Failure();
    const ParameterImageBytes image = session_.Ledger().Staged();
    // Edits made while no device listened are never overwritten silently. The settings
    // the device confirmed before stay the base of that choice; the reconcile step
    // notes these once it has used them.
    if (HasUnsentEdits(session_.Model()) && image != WorkingSettings(session_.Model())) {
      std::lock_guard lock(resultMutex_);
      awaitingChoice_ = image;
      awaitingChoice = true;
    } else {
      StoreImageBytes(session_.Model(), 0, image);
      ApplyImage(session_.Model());
      NoteConfirmedSettings(session_.Model(), image);
      ClearUnsentEdits(session_.Model());
      link.changedFlag = false;
    }
    link.queuedSendMode = true;
    std::this_thread::sleep_for(kEndPause);
    return SyncOutcome::Done;
  }

  void RunWriteJob(bool verify) {
    BeginJob();
    SyncResult result;
    result.job = 1;
    const ParameterImageBytes image = ImageSnapshot(session_.Model());
    result.outcome = WriteSequence(image);
    result.chunksConfirmed = int(session_.Ledger().Chunks().count());
    if (result.outcome == SyncOutcome::Done && verify) {
      result.outcome = VerifySequence(image, result.differingBytes);
    }
    LinkState& link = session_.Link();
    link.queuedSendMode = true;
    std::this_thread::sleep_for(kEndPause);
    if (result.outcome == SyncOutcome::Done) {
      link.changedFlag = false;
      NoteConfirmedSettings(session_.Model(), image);
      // The device holds the image as it was when the job took it.
      if (WorkingSettings(session_.Model()) == image) ClearUnsentEdits(session_.Model());
    } else {
      // The device may hold part of the image, or a copy that reads back different: the
      // working settings are not known to be on it.
      MarkUnsentEdits(session_.Model());
    }
    EndJob(result, "End thread: SynchronizeWriteThreadProc\n");
  }

  // Every chunk must be acknowledged before the end-of-write goes out, and the
  // end-of-write itself must be answered.
  SyncOutcome WriteSequence(const ParameterImageBytes& image) {
    session_.Link().queuedSendMode = false;
    session_.Ledger().Begin(LedgerMode::Write);
    for (int i = 0; i < kImageChunkCount; ++i) {
      if (!Proceed()) return Failure();  // as in the read job: no time-outs spent on a dropped link
      SendChunk(image, i);
      ReportChunk(1, i);
    }
    if (!AwaitChunks([this, &image](int i) { SendChunk(image, i); })) return Failure();
    SendCommand(session_, {kCmdEndImageWrite});
    if (!Proceed() || !AwaitAnswers({kCmdEndImageWrite})) return Failure();
    return SyncOutcome::Done;
  }

  SyncOutcome VerifySequence(const ParameterImageBytes& written, int& differing) {
    session_.Ledger().Begin(LedgerMode::Read);
    if (!ReadAllChunks(-1)) return Failure();
    const ParameterImageBytes back = session_.Ledger().Staged();
    differing = 0;
    for (std::size_t i = 0; i < back.size(); ++i) differing += back[i] != written[i];
    return differing == 0 ? SyncOutcome::Done : SyncOutcome::VerifyMismatch;
  }

  // Tells the observer, if any, that a chunk went out (called on the job thread).
  void ReportChunk(int job, int chunk) {
    SyncProgressObserver observer;
    {
      std::lock_guard lock(progressMutex_);
      observer = progressObserver_;
    }
    if (observer) observer(job, chunk + 1, kImageChunkCount);
  }

 public:
  void SetProgressObserver(SyncProgressObserver observer) {
    std::lock_guard lock(progressMutex_);
    progressObserver_ = std::move(observer);
  }
  SyncResult LastResult() {
    std::lock_guard lock(resultMutex_);
    return lastResult_;
  }
  ParameterImageBytes AwaitingChoice() {
    std::lock_guard lock(resultMutex_);
    return awaitingChoice_;
  }
  void SetTimeLimit(std::chrono::milliseconds limit) {
    timeLimitMs_ = std::max<std::chrono::milliseconds::rep>(0, limit.count());
  }
  std::chrono::milliseconds TimeLimit() const { return std::chrono::milliseconds(timeLimitMs_.load()); }
  std::atomic<bool> verifyAfterWrite{false};

  // Makes the link start a read job when the device reports a mode reload.
  void Install() {
    session_.Link().readJobStarter = [this] { Request(JobKind::Read); };
  }

 private:
  DeviceSession& session_;
  std::mutex progressMutex_;
  SyncProgressObserver progressObserver_;
  std::mutex resultMutex_;
  SyncResult lastResult_;
  // The device's settings as the last read that ended with awaitingChoice found them.
  ParameterImageBytes awaitingChoice_{};
  std::atomic<std::chrono::milliseconds::rep> timeLimitMs_{kDefaultSyncJobTimeLimit.count()};

  std::mutex mutex_;
  std::condition_variable idle_;
  std::deque<JobKind> pending_;  // at most one of each kind
  bool workerActive_ = false;    // a worker is in Run() and will take pending jobs
  std::atomic<bool> stopping_{false};
  std::thread worker_;
  int garbledAtStart_ = 0;  // the link's garbled-receive count when the running job began
  std::chrono::steady_clock::time_point jobStart_{};  // when the running job began
};

SessionPart<SyncJobRunner> MakeSyncJobRunner(DeviceSession& session) {
  return {new SyncJobRunner(session), [](SyncJobRunner* runner) { delete runner; }};
}

namespace {
SyncJobRunner& Runner() { return CurrentSession().Jobs(); }
}  // namespace

void StartReadJob() { StartReadJob(CurrentSession()); }
void StartReadJob(DeviceSession& session) { session.Jobs().Request(JobKind::Read); }
void StartWriteJob() { StartWriteJob(CurrentSession()); }
void StartWriteJob(DeviceSession& session) {
  SyncJobRunner& runner = session.Jobs();
  runner.Request(runner.verifyAfterWrite ? JobKind::WriteVerified : JobKind::Write);
}
void SetVerifyAfterWrite(bool on) { Runner().verifyAfterWrite = on; }
void SetSyncJobTimeLimit(std::chrono::milliseconds limit) { Runner().SetTimeLimit(limit); }
std::chrono::milliseconds SyncJobTimeLimit() { return Runner().TimeLimit(); }
bool VerifyAfterWrite() { return Runner().verifyAfterWrite; }

SyncResult LastSyncResult() { return Runner().LastResult(); }
SyncResult LastSyncResult(DeviceSession& session) { return session.Jobs().LastResult(); }

ParameterImageBytes DeviceSettingsAwaitingChoice() { return Runner().AwaitingChoice(); }

const char* SyncOutcomeText(SyncOutcome outcome) {
  switch (outcome) {
    case SyncOutcome::Done: return "done";
    case SyncOutcome::LinkLost: return "the link to the device was lost";
    case SyncOutcome::DeviceBusy: return "device busy: another host is connected";
    case SyncOutcome::DeviceSilent: return "the device did not answer";
    case SyncOutcome::GarbledStream: return "the device's answers arrived garbled";
    case SyncOutcome::IdentityMismatch: return "the device is not a supported model or protocol";
    case SyncOutcome::Incomplete: return "the device did not answer part of the transfer";
    case SyncOutcome::VerifyMismatch: return "the image read back differs from the one written";
    case SyncOutcome::TimedOut: return "the transfer took longer than its time limit (the device answers too slowly)";
  }
  return "unknown";
}

void InstallSyncJobs() { Runner().Install(); }
void InstallSyncJobs(DeviceSession& session) { session.Jobs().Install(); }

void ShutdownSyncJobs() { Runner().Shutdown(); }
void ShutdownSyncJobs(DeviceSession& session) { session.Jobs().Shutdown(); }

bool WaitForSyncJobsIdle(std::chrono::milliseconds timeout) { return Runner().WaitIdle(timeout); }
bool WaitForSyncJobsIdle(DeviceSession& session, std::chrono::milliseconds timeout) {
  return session.Jobs().WaitIdle(timeout);
}

void SetSyncProgressObserver(SyncProgressObserver observer) { Runner().SetProgressObserver(std::move(observer)); }

}  // namespace dsptune
