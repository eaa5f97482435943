#pragma once
// Everything the model keeps for one device: its settings (the DataModel), where the EQ
// band coefficients go, who sees its edits, its edit history, its A/B comparison slots
// and the equaliser last copied. A link-level session (link/DeviceSession.h) owns one
// per device; the model knows nothing of links.
//
// The model is replaced by ResetModel (tests start from a fresh one); everything else
// here outlives that, as a test that records the model's writes still expects its
// coefficients and its history to follow the device.
#include <atomic>
#include <memory>
#include <mutex>

#include "model/CompareSlots.h"
#include "model/EditJournal.h"
#include "model/ParameterImage.h"

namespace dsptune {

class DeviceData {
 public:
  DeviceData();
  ~DeviceData();
  DeviceData(const DeviceData&) = delete;
  DeviceData& operator=(const DeviceData&) = delete;

  DataModel& Model() { return *model_; }
  // A fresh model (identity and image at their start values, no writer). Not while other
  // threads use the model.
  void ResetModel();

  // The history, installed as this device's edit observer on first use.
  EditJournal& Journal();
  CompareSlots& Compare() { return compare_; }

  // Where EQ band coefficients go (nullptr: nowhere); see SetCoefficientWriter.
  std::atomic<DeviceWriter*> coefficientWriter{nullptr};
  // Sees every edit of this device's model (nullptr: none).
  std::atomic<EditObserver*> editObserver{nullptr};
  // The EQ number last copied with "Copy EQ"; -1 until the first copy.
  std::atomic<int> copySource{-1};

 private:
  std::unique_ptr<DataModel> model_;
  // Declared after the observer slot, which the journal leaves as it goes.
  EditJournal journal_;
  std::once_flag journalInstalled_;
  // Undoing a switch makes a slot live again: the slots outlive the journal's steps.
  CompareSlots compare_;
};

}  // namespace dsptune
