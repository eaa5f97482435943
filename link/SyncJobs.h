#pragma once
// Whole-image transfers between the program and the device, run in the background.
//
// The read job asks for the device identity, the current mode, the 3518-byte image in
// 63 chunks, the machine settings and the remote code table, runs ApplyImage and posts
// message 1002 with wParam 0. When the model holds edits that no device received and
// the device's settings differ from them, the read replaces nothing and leaves the
// choice to the user (SyncResult::awaitingChoice). The write job sends the whole image in 63 chunks and the
// end-of-write command, then posts 1002 with wParam 1. Both talk to the device only
// through the command builders, so every command waits for the previous reply.
//
// A network module that says "ISCONNECTED" serves another host: a job stops at its next
// send (DeviceBusy), also when the module goes on answering, so nothing is written to
// a device someone else is working on. A write that did not complete leaves the working
// settings marked as not on the device (MarkUnsentEdits): the device may hold part of
// them, and the next read must not take that half-written state on silently.
//
// A job reports success only when every answer it needs has arrived: an unanswered,
// garbled or refused chunk (or identity, mode, settings, remote or end-of-write answer)
// is asked again, at most three times, and a transfer that is still incomplete fails.
// A failed read leaves the image, the live block and the editor values as they were.
// Message 1002 carries the outcome in lParam (SyncOutcome; 0 is success), and
// LastSyncResult() tells the details.
//
// Each device session has its own job runner; the functions below act on the current
// session's (link/DeviceSession.h). Jobs run one at a time on a single worker thread. A request that arrives while a job
// runs is queued and runs after it; a request for a job of the same kind that is already
// waiting is merged into the waiting one (at most one read and one write wait), because
// the waiting job reads or sends the state as it is when it starts anyway.
#include <chrono>
#include <functional>

#include "link/TransferLedger.h"

namespace dsptune {

class DeviceSession;

// Queue a read job; returns at once. Dropped while ShutdownSyncJobs runs.
void StartReadJob();
void StartReadJob(DeviceSession& session);
// Queue a write job; returns at once. Dropped while ShutdownSyncJobs runs.
void StartWriteJob();
void StartWriteJob(DeviceSession& session);
// When on, every write job reads the image back after the end-of-write and compares
// it with what it wrote; a difference fails the job. Off by default.
void SetVerifyAfterWrite(bool on);
bool VerifyAfterWrite();

// How a job ended; sent as lParam of message 1002.
enum class SyncOutcome : int {
  Done = 0,
  LinkLost = 1,          // the link closed while the job ran
  DeviceBusy = 2,        // the network module serves another host ("ISCONNECTED")
  DeviceSilent = 3,      // the device answered nothing at all
  GarbledStream = 4,     // bytes came back, but not as frames the program could read
  IdentityMismatch = 5,  // the identity was read and names a model or protocol not supported
  Incomplete = 6,        // part of the transfer stayed unanswered after the retries
  VerifyMismatch = 7,    // written completely, but the image read back differs
  TimedOut = 8,          // the job ran past its time limit (SetSyncJobTimeLimit) and stopped
};

struct SyncResult {
  int job = 0;  // 0 read, 1 write
  SyncOutcome outcome = SyncOutcome::Done;
  int chunksConfirmed = 0;  // chunks the device answered (read) or acknowledged (write)
  int chunksTotal = kImageChunkCount;
  int differingBytes = 0;   // after a verify: bytes of the image that read back different
  // A read that found the device's settings different from working settings that hold
  // edits the device never received: the model was left alone, and the device's
  // settings wait in DeviceSettingsAwaitingChoice() for the user to pick a side.
  bool awaitingChoice = false;
};
// The result of the job that ended last.
SyncResult LastSyncResult();
SyncResult LastSyncResult(DeviceSession& session);
// The device's settings as the last read that ended with awaitingChoice found them.
ParameterImageBytes DeviceSettingsAwaitingChoice();
// A short English description of an outcome, for logs and the command line.
const char* SyncOutcomeText(SyncOutcome outcome);

// Makes the current link start a read job when the device reports a mode reload
// (responses 0x05 and 0x06). Call when a link opens, before its receive thread starts
// (the dispatcher reads the starter without a lock), and after any ResetLinkState.
void InstallSyncJobs();
void InstallSyncJobs(DeviceSession& session);

// Drops waiting jobs, makes the running one stop at its next connected check (within one
// reply time-out) and joins the worker. A job stopped this way restores the status poll
// but posts no message 1002 and writes no end line: the window it would notify is going
// away. Jobs may be started again afterwards. Call before ResetLinkState or
// ResetDataModel, and before the notification sink goes away. Not from a job's thread.
void ShutdownSyncJobs();
void ShutdownSyncJobs(DeviceSession& session);

// True when no job runs or waits within the timeout.
bool WaitForSyncJobsIdle(std::chrono::milliseconds timeout);
bool WaitForSyncJobsIdle(DeviceSession& session, std::chrono::milliseconds timeout);

// Image transfers: chunks 0..61 of 56 bytes, chunk 62 of 46 bytes at offset 3472.
// Called on the job thread after each image chunk is sent: job 0 read, 1 write; chunk 1..total.
using SyncProgressObserver = std::function<void(int job, int chunk, int total)>;
void SetSyncProgressObserver(SyncProgressObserver observer);

// How long one job may run before it stops with SyncOutcome::TimedOut (checked before
// every send and after every wait for answers, so a job ends at most about one reply
// time-out past it). This is the one time-out decision for a transfer: a device that
// keeps answering, only slowly, is not waited for without end, and whoever shows the
// transfer waits for the job's own end. Zero: no limit. Default kDefaultSyncJobTimeLimit.
void SetSyncJobTimeLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds SyncJobTimeLimit();
inline constexpr std::chrono::milliseconds kDefaultSyncJobTimeLimit{30000};

// How often an unanswered request is asked again before the job fails.
inline constexpr int kSyncRetries = 3;

}  // namespace dsptune
