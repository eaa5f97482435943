#pragma once
// Whole-image transfers between the program and the device, run in the background.
//
// The read job asks for the device identity, the current mode, the 3518-byte image in
// 63 chunks, the machine settings and the remote code table, runs ApplyImage and posts
// message 1002 with wParam 0. The write job sends the whole image in 63 chunks and the
// end-of-write command, then posts 1002 with wParam 1. Both talk to the device only
// through the command builders, so every command waits for the previous reply.
//
// Jobs run one at a time on a single worker thread. A request that arrives while a job
// runs is queued and runs after it; a request for a job of the same kind that is already
// waiting is merged into the waiting one (at most one read and one write wait), because
// the waiting job reads or sends the state as it is when it starts anyway.
#include <chrono>
#include <functional>

namespace dsptune {

// Queue a read job; returns at once. Dropped while ShutdownSyncJobs runs.
void StartReadJob();
// Queue a write job; returns at once. Dropped while ShutdownSyncJobs runs.
void StartWriteJob();

// Makes the current link start a read job when the device reports a mode reload
// (responses 0x05 and 0x06). Call when a link opens, before its receive thread starts
// (the dispatcher reads the starter without a lock), and after any ResetLinkState.
void InstallSyncJobs();

// Drops waiting jobs, makes the running one stop at its next connected check (within one
// reply time-out) and joins the worker. A job stopped this way restores the status poll
// but posts no message 1002 and writes no end line: the window it would notify is going
// away. Jobs may be started again afterwards. Call before ResetLinkState or
// ResetDataModel, and before the notification sink goes away. Not from a job's thread.
void ShutdownSyncJobs();

// True when no job runs or waits within the timeout.
bool WaitForSyncJobsIdle(std::chrono::milliseconds timeout);

// Image transfers: chunks 0..61 of 56 bytes, chunk 62 of 46 bytes at offset 3472.
// Called on the job thread after each image chunk is sent: job 0 read, 1 write; chunk 1..total.
using SyncProgressObserver = std::function<void(int job, int chunk, int total)>;
void SetSyncProgressObserver(SyncProgressObserver observer);

inline constexpr int kImageChunkCount = 63;
inline constexpr int kImageChunkSize = 56;

}  // namespace dsptune
