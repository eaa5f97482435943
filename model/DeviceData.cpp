#include "model/DeviceData.h"

namespace dsptune {
namespace {

std::atomic<DeviceData*>& CurrentSlot() {
  static std::atomic<DeviceData*> current{nullptr};
  return current;
}

DeviceData& DefaultDevice() {
  static DeviceData device;
  return device;
}

}  // namespace

DeviceData::DeviceData() : model_(std::make_unique<DataModel>(this)) {}

DeviceData::~DeviceData() {
  DeviceData* self = this;
  CurrentSlot().compare_exchange_strong(self, nullptr);
}

void DeviceData::ResetModel() { model_ = std::make_unique<DataModel>(this); }

EditJournal& DeviceData::Journal() {
  std::call_once(journalInstalled_, [this] { journal_.Install(*this); });
  return journal_;
}

DeviceData& CurrentDeviceData() {
  DeviceData* device = CurrentSlot().load();
  return device ? *device : DefaultDevice();
}

void SetCurrentDeviceData(DeviceData* device) { CurrentSlot() = device; }

}  // namespace dsptune
