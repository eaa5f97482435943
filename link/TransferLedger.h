#pragma once
// What the device has answered during a whole-image transfer, so that a job can tell a
// complete transfer from one that only looked complete.
//
// Replies are paced (one command outstanding), but the reply event that paces them is
// set by any received packet: a Z-Wave frame, a late answer or a parameter error
// releases the next send just as well as the awaited answer. So the jobs do not trust
// the pacing; they count answers here:
//   - read: every 0x30 answer whose offset and length are exactly one chunk's goes into
//     a staging copy of the image and marks that chunk; the model's image is touched
//     only when the job commits a complete staging copy;
//   - write: a 0x31 answer carries no offset; the device answers in order, so it
//     acknowledges the oldest chunk still waiting for its answer (a parameter error
//     refuses that chunk instead). When a wait for an answer runs out, the waiting
//     chunks are given up (they stay unacknowledged and are sent again), so one lost
//     answer does not shift the later ones onto the wrong chunks;
//   - every other answer code is marked as answered.
// The dispatcher feeds every received packet in (Record) and SendPacket every packet as
// it goes out (Outgoing); both may run on any thread. Each device session has its own
// ledger; the free functions below act on the current session's.
#include <bitset>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>

#include "model/ParameterImage.h"

namespace dsptune {

inline constexpr int kImageChunkCount = 63;
inline constexpr int kImageChunkSize = 56;

struct ImageChunk {
  std::uint16_t offset;
  std::uint8_t length;
};
// Chunks 0..61 hold 56 bytes, chunk 62 the last 46 bytes at offset 3472.
ImageChunk ImageChunkAt(int index);

using ChunkSet = std::bitset<kImageChunkCount>;

enum class LedgerMode { Idle, Read, Write };

class PacketParams;

class TransferLedger {
 public:
  // Starts counting for a job: clears every mark and the staging copy. In Idle mode image
  // answers are ignored (a late answer of an ended job must not change anything).
  void Begin(LedgerMode mode);

  // Called by the dispatcher for every received packet (leading byte, then the code).
  void Record(std::span<const std::uint8_t> packet);
  // Called by SendPacket for every device command just before it is written (code first,
  // without the network destination byte).
  void Outgoing(std::span<const std::uint8_t> packet);
  // Called when a synchronous send stopped waiting for the previous answer.
  void ReplyTimedOut();

  // Waits until every code in `codes` was answered since Begin; false on time-out.
  bool WaitForAnswers(std::span<const std::uint8_t> codes, std::chrono::milliseconds timeout);
  // Waits until every chunk of the current job is accounted for (read: received, write:
  // acknowledged), or until chunk `last` is: the device answers in order, so once the
  // last chunk asked for is answered no earlier answer is still coming. False when not
  // every chunk is accounted for.
  bool WaitForChunks(std::chrono::milliseconds timeout, int last);

  // Marks `codes` unanswered again, for a second round of the same queries.
  void Forget(std::span<const std::uint8_t> codes);

  ChunkSet Chunks();
  bool Answered(std::uint8_t code);
  // Answers other than Z-Wave traffic and status replies since Begin: zero means the
  // device said nothing of its own accord.
  int Answers();
  // When the last such answer arrived (the Begin time when none has).
  std::chrono::steady_clock::time_point LastAnswer();
  // The staging copy a read collected (complete only when every chunk is accounted for).
  ParameterImageBytes Staged();

 private:
  template <typename Done>
  bool Wait(std::chrono::milliseconds timeout, Done done);
  bool AllAnswered(std::span<const std::uint8_t> codes) const;
  bool AllChunks() const;
  bool HasChunk(int i) const;
  // Only an answer that is exactly one chunk counts: anything shorter, longer or
  // misplaced leaves the chunk missing, to be asked again.
  void StoreChunk(const PacketParams& p);

  std::mutex mutex_;
  std::condition_variable changed_;
  LedgerMode mode_ = LedgerMode::Idle;
  ChunkSet chunks_;
  std::bitset<256> codes_;
  int answers_ = 0;
  std::chrono::steady_clock::time_point lastAnswer_{};
  // Write mode: the chunk of each command still waiting for its answer, oldest first
  // (-1 for a command that carries no chunk). Emptied when a wait for an answer runs
  // out, so that a lost answer cannot shift every later answer onto the wrong chunk.
  std::deque<int> awaited_;
  ParameterImageBytes staging_{};
};

// ---- the same on the current session's ledger ----
void BeginLedger(LedgerMode mode);
void RecordAnswer(std::span<const std::uint8_t> packet);
void NoteOutgoing(std::span<const std::uint8_t> packet);
void NoteReplyTimedOut();
bool WaitForAnswers(std::span<const std::uint8_t> codes, std::chrono::milliseconds timeout);
bool WaitForChunks(std::chrono::milliseconds timeout, int last);
void ForgetAnswers(std::span<const std::uint8_t> codes);
ChunkSet ChunksAccounted();
bool WasAnswered(std::uint8_t code);
int AnswerCount();
std::chrono::steady_clock::time_point LastAnswerTime();
ParameterImageBytes StagedImage();

}  // namespace dsptune
