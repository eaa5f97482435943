#pragma once
// The edit history. Every edit that goes through the model's write operations
// (SetParameter, WriteDspRecord, WriteLiveBytes and everything built on them: band
// writes, derived records, resets, copies) arrives here as the bytes it changed, before
// and after, at working-settings offsets. Edits are grouped into steps the user can undo
// and redo; undo and redo bring the settings back through the write planner, so the
// device receives the same writes an edit would send (a band as its coefficients and
// band record), and nothing here talks to a device directly.
//
// Grouping: edits between BeginStep and EndStep (nesting counts) make one step, e.g. a
// whole-settings action such as Reset EQ. Outside an explicit step an edit joins the
// last step when it comes within kBurstWindow of the previous edit (one action writing
// several records) or when it touches only bytes the last step already changed and
// comes within kGestureWindow of the previous edit (a drag, a slider or a wheel burst).
// Any edit that comes kGestureWindow or more after the previous one starts a new step,
// also inside an explicit step that was never ended.
//
// Thread-safe: edits may arrive on any thread.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "model/ParameterImage.h"
#include "model/SettingsDiff.h"

namespace dsptune {

struct ByteChange {
  int offset = 0;  // working-settings offset
  std::vector<std::uint8_t> before, after;
};

struct EditStep {
  BilingualText label;  // empty: described from its changes
  std::vector<ByteChange> changes;
  // Told after Undo (true) or Redo (false) has replayed the step, outside every lock:
  // state kept beside the settings (the live comparison slot) follows the settings.
  std::function<void(bool undone)> replayed;
};

class EditJournal final : public EditObserver {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kGestureWindow{500};
  static constexpr std::chrono::milliseconds kBurstWindow{20};
  static constexpr std::size_t kDepth = 1000;  // steps kept; the oldest go first

  EditJournal();
  ~EditJournal() override;  // uninstalls itself when installed

  // Makes this journal the edit observer of a device (the current one when none is named).
  void Install();
  void Install(DeviceData& device);
  // Time source, for tests.
  void SetClock(std::function<Clock::time_point()> clock);
  // Where a whole-image write goes when the planner finds it cheaper than single writes
  // (the link's write job); without one the single writes are sent anyway.
  void SetFullWriteSender(std::function<void(const ParameterImageBytes& settings)> sender);

  // Explicit steps (see above). The label names the step in both languages.
  void BeginStep(const BilingualText& label = {});
  void EndStep();
  // A change of the whole settings that did not go through the write operations (a read
  // after a mode load, a file load): recorded as one step when anything differs.
  void RecordSettingsChange(const ParameterImageBytes& before, const ParameterImageBytes& after,
                            const BilingualText& label);

  bool CanUndo() const;
  bool CanRedo() const;
  // What Undo / Redo would take back or make again, in the given language: the step's
  // label, or the item it changed ("Mic A EQ band 5 gain"), or the first item and how
  // many more. Empty when there is nothing.
  std::string UndoText(int language) const;
  std::string RedoText(int language) const;
  // Brings the settings to before the last step / after the next undone step, sending
  // only what differs. False when there is nothing to undo / redo.
  bool Undo();
  bool Redo();
  void Clear();

  std::size_t UndoSteps() const;
  std::size_t RedoSteps() const;
  // Bytes the history holds (steps, changes and their byte copies), for the memory bound.
  std::size_t MemoryBytes() const;

  void OnEdit(int offset, std::span<const std::uint8_t> before, std::span<const std::uint8_t> after) override;

 private:
  friend class CompareSlots;  // a switch replaces the settings as one step (model/CompareSlots.h)

  bool Replay(bool undo);
  // Brings the settings from `from` (the working settings now) to `to` and records that
  // as one step. False, with nothing sent, while an undo or redo is sending.
  bool ReplaceSettings(const ParameterImageBytes& from, const ParameterImageBytes& to, const BilingualText& label,
                       std::function<void(bool undone)> replayed);
  // Adds whole-settings changes as a step (to the open explicit step, if any). Under mutex_.
  void AddStep(std::vector<ByteChange> changes, const BilingualText& label, std::function<void(bool undone)> replayed);
  // The step the next edit would join ended: a step that changed nothing goes.
  void EndLastStep();
  // The last step unless it changed nothing (then the one before it).
  const EditStep* TopStep() const;

  mutable std::mutex mutex_;
  std::deque<EditStep> done_;
  std::vector<EditStep> undone_;
  std::function<Clock::time_point()> clock_;
  std::function<void(const ParameterImageBytes&)> fullWriteSender_;
  int explicitDepth_ = 0;
  bool explicitOpen_ = false;  // the last step is the open explicit step
  BilingualText explicitLabel_;
  Clock::time_point lastEdit_{};
  bool haveLastEdit_ = false;
  bool replaying_ = false;
  DeviceData* installedOn_ = nullptr;
};

// The current device's history (DeviceData::Journal).
EditJournal& CurrentJournal();

// An explicit step for the length of a scope.
class EditStepScope {
 public:
  explicit EditStepScope(const BilingualText& label, EditJournal& journal = CurrentJournal()) : journal_(journal) {
    journal_.BeginStep(label);
  }
  ~EditStepScope() { journal_.EndStep(); }
  EditStepScope(const EditStepScope&) = delete;
  EditStepScope& operator=(const EditStepScope&) = delete;

 private:
  EditJournal& journal_;
};

}  // namespace dsptune
