#include "model/EditJournal.h"

#include <algorithm>
#include <bitset>
#include <utility>

#include "model/DeviceData.h"
#include "model/WritePlan.h"

namespace dsptune {
namespace {

// Runs of differing bytes closer than this are kept as one change: a change costs more
// than the few equal bytes it would skip.
constexpr int kRunGap = 16;

void Put(ParameterImageBytes& settings, int offset, const std::vector<std::uint8_t>& bytes) {
  if (offset < 0 || offset >= kImageSize) return;
  const std::size_t n = std::min(bytes.size(), std::size_t(kImageSize - offset));
  std::copy_n(bytes.begin(), n, settings.begin() + offset);
}

ParameterImageBytes BeforeStep(ParameterImageBytes settings, const EditStep& step) {
  for (auto c = step.changes.rbegin(); c != step.changes.rend(); ++c) Put(settings, c->offset, c->before);
  return settings;
}

ParameterImageBytes AfterStep(ParameterImageBytes settings, const EditStep& step) {
  for (const ByteChange& c : step.changes) Put(settings, c.offset, c.after);
  return settings;
}

// A step that changed bytes back and forth may still end where it began; only the first
// `before` and the last `after` of each byte count.
bool ChangesNothing(const EditStep& step) {
  ParameterImageBytes first{}, last{};
  std::bitset<kImageSize> seen;
  for (const ByteChange& c : step.changes) {
    for (std::size_t i = 0; i < c.after.size() && i < c.before.size(); ++i) {
      const int o = c.offset + int(i);
      if (o < 0 || o >= kImageSize) continue;
      if (!seen[std::size_t(o)]) first[std::size_t(o)] = c.before[i];
      seen[std::size_t(o)] = true;
      last[std::size_t(o)] = c.after[i];
    }
  }
  for (std::size_t o = 0; o < std::size_t(kImageSize); ++o)
    if (seen[o] && first[o] != last[o]) return false;
  return true;
}

bool Covers(const EditStep& step, int offset, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    const int o = offset + int(i);
    const bool covered = std::any_of(step.changes.begin(), step.changes.end(), [o](const ByteChange& c) {
      return o >= c.offset && o < c.offset + int(c.after.size());
    });
    if (!covered) return false;
  }
  return true;
}

void Merge(EditStep& step, int offset, std::span<const std::uint8_t> before, std::span<const std::uint8_t> after) {
  // A drag rewrites the same record over and over: keep where it started and where it is.
  for (auto c = step.changes.rbegin(); c != step.changes.rend(); ++c) {
    if (c->offset == offset && c->after.size() == after.size()) {
      c->after.assign(after.begin(), after.end());
      return;
    }
  }
  step.changes.push_back({offset, {before.begin(), before.end()}, {after.begin(), after.end()}});
}

std::vector<ByteChange> Differences(const ParameterImageBytes& from, const ParameterImageBytes& to) {
  std::vector<ByteChange> changes;
  int o = 0;
  while (o < kImageSize) {
    if (from[std::size_t(o)] == to[std::size_t(o)]) {
      ++o;
      continue;
    }
    int end = o + 1, equal = 0;
    for (int i = end; i < kImageSize && equal < kRunGap; ++i) {
      if (from[std::size_t(i)] != to[std::size_t(i)]) {
        end = i + 1;
        equal = 0;
      } else {
        ++equal;
      }
    }
    changes.push_back({o, {from.begin() + o, from.begin() + end}, {to.begin() + o, to.begin() + end}});
    o = end;
  }
  return changes;
}

// Undo, redo and the A/B switch send like any other change of whole settings: item by
// item unless the planner finds the write job cheaper and there is a job to send with.
void BringSettings(const ParameterImageBytes& from, const ParameterImageBytes& to,
                   const std::function<void(const ParameterImageBytes&)>& fullWrite) {
  const WritePlan plan = PlanWrites(from, to);
  if (plan.fullWriteCheaper && fullWrite) {
    LoadSettings(to);
    fullWrite(to);
  } else {
    SendPlan(plan, to);
  }
}

// Which field of a band record a difference of one band touched; empty when several did.
BilingualText BandFieldName(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second) {
  static const struct {
    int offset, length;
    BilingualText name;
  } kFields[] = {
      {0, 2, {"增益", "gain"}}, {2, 2, {"频率", "frequency"}}, {4, 2, {"Q", "Q"}}, {6, 1, {"类型", "type"}},
  };
  const BilingualText* changed = nullptr;
  for (const auto& f : kFields) {
    if (std::equal(first.begin() + f.offset, first.begin() + f.offset + f.length, second.begin() + f.offset)) continue;
    if (changed) return {};
    changed = &f.name;
  }
  return changed ? *changed : BilingualText{};
}

std::string Describe(const EditStep& step, int language) {
  const std::size_t lang = language == kTextChinese ? std::size_t(kTextChinese) : std::size_t(kTextEnglish);
  if (!step.label[lang].empty()) return step.label[lang];
  const ParameterImageBytes now = WorkingSettings();
  const ParameterImageBytes before = BeforeStep(now, step), after = AfterStep(now, step);
  const std::vector<SettingsDifference> diff = DiffSettings(before, after);
  if (diff.empty()) return {};
  const SettingsDifference& d = diff.front();
  std::string text = d.page[lang] + " " + d.item[lang];
  if (d.kind == DifferenceKind::Band && d.length == kBandRecordSize) {
    const auto at = std::size_t(d.offset);
    const std::string field = BandFieldName(std::span(before).subspan(at, kBandRecordSize),
                                            std::span(after).subspan(at, kBandRecordSize))[lang];
    if (!field.empty()) text += " " + field;
  }
  if (diff.size() > 1) text += " (+" + std::to_string(diff.size() - 1) + ")";
  return text;
}

std::size_t HeapBytes(const std::string& s) {
  return s.capacity() > std::string().capacity() ? s.capacity() + 1 : 0;
}

std::size_t StepBytes(const EditStep& step) {
  std::size_t bytes = sizeof(EditStep) + step.changes.capacity() * sizeof(ByteChange);
  for (const std::string& s : step.label) bytes += HeapBytes(s);
  for (const ByteChange& c : step.changes) bytes += c.before.capacity() + c.after.capacity();
  return bytes;
}

}  // namespace

EditJournal::EditJournal() : clock_([] { return Clock::now(); }) {}

// A journal going away must not uninstall another observer.
EditJournal::~EditJournal() {
  DeviceData* device = nullptr;
  {
    std::lock_guard lock(mutex_);
    device = installedOn_;
  }
  EditObserver* self = this;
  if (device) device->editObserver.compare_exchange_strong(self, nullptr);
}

void EditJournal::Install() { Install(CurrentDeviceData()); }

void EditJournal::Install(DeviceData& device) {
  {
    std::lock_guard lock(mutex_);
    installedOn_ = &device;
  }
  device.editObserver = this;
}

void EditJournal::SetClock(std::function<Clock::time_point()> clock) {
  std::lock_guard lock(mutex_);
  clock_ = clock ? std::move(clock) : [] { return Clock::now(); };
}

void EditJournal::SetFullWriteSender(std::function<void(const ParameterImageBytes& settings)> sender) {
  std::lock_guard lock(mutex_);
  fullWriteSender_ = std::move(sender);
}

void EditJournal::BeginStep(const BilingualText& label) {
  std::lock_guard lock(mutex_);
  if (explicitDepth_++ == 0) {
    explicitOpen_ = false;  // made by the first edit, so an empty step never exists
    explicitLabel_ = label;
  } else if (explicitLabel_[kTextEnglish].empty() && explicitLabel_[kTextChinese].empty()) {
    explicitLabel_ = label;
    if (explicitOpen_ && !done_.empty()) done_.back().label = label;
  }
}

void EditJournal::EndStep() {
  std::lock_guard lock(mutex_);
  if (explicitDepth_ == 0) return;  // already closed by a pause (see OnEdit)
  if (--explicitDepth_ > 0) return;
  EndLastStep();
  explicitLabel_ = {};
}

void EditJournal::EndLastStep() {
  if (!done_.empty() && ChangesNothing(done_.back())) done_.pop_back();
  explicitOpen_ = false;
  haveLastEdit_ = false;
}

void EditJournal::OnEdit(int offset, std::span<const std::uint8_t> before, std::span<const std::uint8_t> after) {
  std::lock_guard lock(mutex_);
  if (replaying_ || after.empty() || before.size() != after.size()) return;
  const Clock::time_point now = clock_();
  const bool paused = !haveLastEdit_ || now - lastEdit_ >= kGestureWindow;
  bool join = false;
  if (explicitDepth_ > 0) {
    if (explicitOpen_ && paused) {
      // An explicit step nobody ended must not swallow every later edit.
      explicitDepth_ = 0;
      explicitLabel_ = {};
      EndLastStep();
    } else {
      join = explicitOpen_;
    }
  } else if (!paused && !done_.empty()) {
    join = now - lastEdit_ < kBurstWindow || Covers(done_.back(), offset, after.size());
  }
  if (!join) {
    // A write that changes nothing is no edit: it neither starts a step nor costs the redo list.
    if (std::equal(before.begin(), before.end(), after.begin())) return;
    EndLastStep();
    done_.push_back({explicitDepth_ > 0 ? explicitLabel_ : BilingualText{}, {}, {}});
    if (done_.size() > kDepth) done_.pop_front();
    explicitOpen_ = explicitDepth_ > 0;
  }
  Merge(done_.back(), offset, before, after);
  undone_.clear();
  lastEdit_ = now;
  haveLastEdit_ = true;
}

void EditJournal::RecordSettingsChange(const ParameterImageBytes& before, const ParameterImageBytes& after,
                                       const BilingualText& label) {
  std::vector<ByteChange> changes = Differences(before, after);
  if (changes.empty()) return;
  std::lock_guard lock(mutex_);
  AddStep(std::move(changes), label, {});
}

void EditJournal::AddStep(std::vector<ByteChange> changes, const BilingualText& label,
                          std::function<void(bool undone)> replayed) {
  if (explicitDepth_ > 0 && explicitOpen_) {
    EditStep& open = done_.back();
    open.changes.insert(open.changes.end(), std::make_move_iterator(changes.begin()),
                        std::make_move_iterator(changes.end()));
    if (replayed) open.replayed = std::move(replayed);
  } else {
    EndLastStep();
    const bool labelled = !explicitLabel_[kTextChinese].empty() || !explicitLabel_[kTextEnglish].empty();
    done_.push_back({explicitDepth_ > 0 && labelled ? explicitLabel_ : label, std::move(changes), std::move(replayed)});
    if (done_.size() > kDepth) done_.pop_front();
    explicitOpen_ = explicitDepth_ > 0;
  }
  // Whole settings are a step of their own: the next edit does not join them.
  if (!explicitOpen_) haveLastEdit_ = false;
  undone_.clear();
}

const EditStep* EditJournal::TopStep() const {
  if (done_.empty()) return nullptr;
  if (!ChangesNothing(done_.back())) return &done_.back();
  return done_.size() > 1 ? &done_[done_.size() - 2] : nullptr;
}

bool EditJournal::CanUndo() const {
  std::lock_guard lock(mutex_);
  return TopStep() != nullptr;
}

bool EditJournal::CanRedo() const {
  std::lock_guard lock(mutex_);
  return !undone_.empty();
}

std::string EditJournal::UndoText(int language) const {
  EditStep step;
  {
    std::lock_guard lock(mutex_);
    const EditStep* top = TopStep();
    if (!top) return {};
    step = *top;
  }
  // Described outside the lock: describing reads the model, whose lock comes first.
  return Describe(step, language);
}

std::string EditJournal::RedoText(int language) const {
  EditStep step;
  {
    std::lock_guard lock(mutex_);
    if (undone_.empty()) return {};
    step = undone_.back();
  }
  return Describe(step, language);
}

bool EditJournal::Undo() { return Replay(true); }
bool EditJournal::Redo() { return Replay(false); }

bool EditJournal::Replay(bool undo) {
  EditStep step;
  std::function<void(const ParameterImageBytes&)> fullWrite;
  {
    std::lock_guard lock(mutex_);
    if (replaying_) return false;
    EndLastStep();
    if (undo ? done_.empty() : undone_.empty()) return false;
    if (undo) {
      step = std::move(done_.back());
      done_.pop_back();
    } else {
      step = std::move(undone_.back());
      undone_.pop_back();
    }
    replaying_ = true;
    fullWrite = fullWriteSender_;
  }
  const ParameterImageBytes now = WorkingSettings();
  BringSettings(now, undo ? BeforeStep(now, step) : AfterStep(now, step), fullWrite);
  const std::function<void(bool)> replayed = step.replayed;
  {
    std::lock_guard lock(mutex_);
    replaying_ = false;
    if (undo) {
      undone_.push_back(std::move(step));
    } else {
      done_.push_back(std::move(step));
      if (done_.size() > kDepth) done_.pop_front();
    }
  }
  if (replayed) replayed(undo);
  return true;
}

bool EditJournal::ReplaceSettings(const ParameterImageBytes& from, const ParameterImageBytes& to,
                                  const BilingualText& label, std::function<void(bool undone)> replayed) {
  std::function<void(const ParameterImageBytes&)> fullWrite;
  {
    std::lock_guard lock(mutex_);
    if (replaying_) return false;
    replaying_ = true;
    fullWrite = fullWriteSender_;
  }
  // Recorded from the two settings rather than from the writes: a write job sends no
  // single writes, and a slow link may space the writes beyond the gesture window.
  BringSettings(from, to, fullWrite);
  std::vector<ByteChange> changes = Differences(from, to);
  std::lock_guard lock(mutex_);
  replaying_ = false;
  if (!changes.empty()) AddStep(std::move(changes), label, std::move(replayed));
  return true;
}

void EditJournal::Clear() {
  std::lock_guard lock(mutex_);
  done_.clear();
  undone_.clear();
  explicitOpen_ = false;
  haveLastEdit_ = false;
}

std::size_t EditJournal::UndoSteps() const {
  std::lock_guard lock(mutex_);
  return done_.size() - (!done_.empty() && ChangesNothing(done_.back()) ? 1 : 0);
}

std::size_t EditJournal::RedoSteps() const {
  std::lock_guard lock(mutex_);
  return undone_.size();
}

std::size_t EditJournal::MemoryBytes() const {
  std::lock_guard lock(mutex_);
  std::size_t bytes = 0;
  for (const EditStep& s : done_) bytes += StepBytes(s);
  for (const EditStep& s : undone_) bytes += StepBytes(s);
  return bytes;
}

EditJournal& CurrentJournal() { return CurrentDeviceData().Journal(); }

}  // namespace dsptune
