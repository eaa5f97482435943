#include "link/TransferLedger.h"

#include <algorithm>

#include "link/CommandSet.h"
#include "link/DeviceSession.h"
#include "link/FrameCodec.h"
#include "link/PacketParams.h"

namespace dsptune {

ImageChunk ImageChunkAt(int index) {
  const int offset = index * kImageChunkSize;
  return {std::uint16_t(offset), std::uint8_t(std::min(kImageChunkSize, kImageSize - offset))};
}

void TransferLedger::Begin(LedgerMode mode) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
  chunks_.reset();
  codes_.reset();
  answers_ = 0;
  lastAnswer_ = std::chrono::steady_clock::now();
  awaited_.clear();
  staging_.fill(0);
}

void TransferLedger::Record(std::span<const std::uint8_t> packet) {
  if (packet.size() < 2) return;
  const std::uint8_t code = packet[1];
  const PacketParams p(packet, 2);
  {
    std::lock_guard lock(mutex_);
    if (code != kCmdZWave && code != kCmdStatus) {
      ++answers_;
      lastAnswer_ = std::chrono::steady_clock::now();
    }
    switch (code) {
      case kCmdReadImage:
        if (mode_ == LedgerMode::Read) StoreChunk(p);
        break;
      case kCmdWriteImage:
      case kCmdEndImageWrite:
      case kCmdParameterError:
        // The device answers in order: this answer (or refusal) is the oldest command's.
        if (mode_ == LedgerMode::Write && !awaited_.empty()) {
          const int chunk = awaited_.front();
          awaited_.pop_front();
          if (code == kCmdWriteImage && chunk >= 0) chunks_.set(std::size_t(chunk));
        }
        if (code == kCmdEndImageWrite) codes_.set(code);
        break;
      default:
        codes_.set(code);
        break;
    }
  }
  changed_.notify_all();
}

void TransferLedger::Outgoing(std::span<const std::uint8_t> packet) {
  // The receive thread's Z-Wave acknowledgements go out between a job's commands; they
  // are not commands and get no answer.
  if (packet.empty() || packet[0] == kZWavePacketCode) return;
  std::lock_guard lock(mutex_);
  if (mode_ != LedgerMode::Write) return;
  int chunk = -1;  // a command that acknowledges no chunk
  if (packet[0] == kCmdWriteImage && packet.size() >= 4) {
    const int offset = (packet[1] << 8) | packet[2];
    const int index = offset / kImageChunkSize;
    if (offset % kImageChunkSize == 0 && index < kImageChunkCount && packet[3] == ImageChunkAt(index).length)
      chunk = index;
  }
  awaited_.push_back(chunk);
}

void TransferLedger::ReplyTimedOut() {
  std::lock_guard lock(mutex_);
  awaited_.clear();
}

template <typename Done>
bool TransferLedger::Wait(std::chrono::milliseconds timeout, Done done) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return done(); });
}

bool TransferLedger::AllAnswered(std::span<const std::uint8_t> codes) const {
  return std::all_of(codes.begin(), codes.end(), [this](std::uint8_t c) { return codes_.test(c); });
}
bool TransferLedger::AllChunks() const { return chunks_.all(); }
bool TransferLedger::HasChunk(int i) const { return i >= 0 && i < kImageChunkCount && chunks_.test(std::size_t(i)); }

void TransferLedger::Forget(std::span<const std::uint8_t> codes) {
  std::lock_guard lock(mutex_);
  for (std::uint8_t c : codes) codes_.reset(c);
}

ChunkSet TransferLedger::Chunks() {
  std::lock_guard lock(mutex_);
  return chunks_;
}
bool TransferLedger::Answered(std::uint8_t code) {
  std::lock_guard lock(mutex_);
  return codes_.test(code);
}
int TransferLedger::Answers() {
  std::lock_guard lock(mutex_);
  return answers_;
}
std::chrono::steady_clock::time_point TransferLedger::LastAnswer() {
  std::lock_guard lock(mutex_);
  return lastAnswer_;
}
ParameterImageBytes TransferLedger::Staged() {
  std::lock_guard lock(mutex_);
  return staging_;
}

// Only an answer that is exactly one chunk counts: anything shorter, longer or
// misplaced leaves the chunk missing, to be asked again.
void TransferLedger::StoreChunk(const PacketParams& p) {
  if (!p.Has(3)) return;
  const int offset = (p[0] << 8) | p[1];
  const int index = offset / kImageChunkSize;
  if (offset % kImageChunkSize != 0 || index >= kImageChunkCount) return;
  const ImageChunk chunk = ImageChunkAt(index);
  const std::span<const std::uint8_t> data = p.From(3, p[2]);
  if (p[2] != chunk.length || data.size() != chunk.length) return;
  std::copy(data.begin(), data.end(), staging_.begin() + offset);
  chunks_.set(std::size_t(index));
}

bool TransferLedger::WaitForAnswers(std::span<const std::uint8_t> codes, std::chrono::milliseconds timeout) {
  return Wait(timeout, [&] { return AllAnswered(codes); });
}

bool TransferLedger::WaitForChunks(std::chrono::milliseconds timeout, int last) {
  Wait(timeout, [&] { return AllChunks() || HasChunk(last); });
  return Chunks().all();
}

// ---- the current session's ledger ----

void BeginLedger(LedgerMode mode) { CurrentSession().Ledger().Begin(mode); }
void RecordAnswer(std::span<const std::uint8_t> packet) { CurrentSession().Ledger().Record(packet); }
void NoteOutgoing(std::span<const std::uint8_t> packet) { CurrentSession().Ledger().Outgoing(packet); }
void NoteReplyTimedOut() { CurrentSession().Ledger().ReplyTimedOut(); }
bool WaitForAnswers(std::span<const std::uint8_t> codes, std::chrono::milliseconds timeout) {
  return CurrentSession().Ledger().WaitForAnswers(codes, timeout);
}
bool WaitForChunks(std::chrono::milliseconds timeout, int last) {
  return CurrentSession().Ledger().WaitForChunks(timeout, last);
}
void ForgetAnswers(std::span<const std::uint8_t> codes) { CurrentSession().Ledger().Forget(codes); }
ChunkSet ChunksAccounted() { return CurrentSession().Ledger().Chunks(); }
bool WasAnswered(std::uint8_t code) { return CurrentSession().Ledger().Answered(code); }
int AnswerCount() { return CurrentSession().Ledger().Answers(); }
std::chrono::steady_clock::time_point LastAnswerTime() { return CurrentSession().Ledger().LastAnswer(); }
ParameterImageBytes StagedImage() { return CurrentSession().Ledger().Staged(); }

}  // namespace dsptune
