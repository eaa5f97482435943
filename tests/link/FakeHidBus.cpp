#include "tests/link/FakeHidBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <thread>

#include "link/FrameCodec.h"

namespace dsptune::test {

struct FakeHidBus::Device {
  std::string path;
  std::uint16_t vendorId = 0, productId = 0;
  bool idsHidden = false;
  std::uint16_t usagePage = 0;
  std::vector<std::uint8_t> descriptor;
  std::uint64_t nodeStamp = 0;

  mutable std::mutex mutex;
  std::condition_variable inputReady;
  std::deque<Report> input;
  std::vector<Report> written;
  Responder responder;
  HidOpenError openError = HidOpenError::None;
  bool attributesFail = false;
  bool readsFail = false;
  bool removed = false;
  int opens = 0, openAttempts = 0, closes = 0, attributeReads = 0;
};

namespace {

Report FullReport(Report r) {
  r.resize(kReportSize, 0);
  return r;
}

class FakeHidDevice final : public HidDevice {
 public:
  explicit FakeHidDevice(std::shared_ptr<FakeHidBus::Device> device) : d_(std::move(device)) {}

  ~FakeHidDevice() override {
    std::lock_guard lock(d_->mutex);
    ++d_->closes;
  }

  bool ReadAttributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
    std::lock_guard lock(d_->mutex);
    ++d_->attributeReads;
    if (d_->attributesFail) return false;
    vendorId = d_->vendorId;
    productId = d_->productId;
    return true;
  }

  int Read(std::uint8_t* report61, int timeoutMs) override {
    std::unique_lock lock(d_->mutex);
    d_->inputReady.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this] { return d_->removed || d_->readsFail || !d_->input.empty(); });
    if (d_->removed) return kHidReadDeviceGone;
    if (d_->readsFail) return kHidReadError;
    if (d_->input.empty()) return kHidReadTimedOut;
    const Report report = std::move(d_->input.front());
    d_->input.pop_front();
    std::copy(report.begin(), report.end(), report61);
    return int(report.size());
  }

  int Write(const std::uint8_t* report61) override {
    Report report(report61, report61 + kReportSize);
    FakeHidBus::Responder responder;
    {
      std::lock_guard lock(d_->mutex);
      if (d_->removed) return -1;
      d_->written.push_back(report);
      responder = d_->responder;
    }
    if (responder) {
      std::vector<Report> replies = responder(report);
      {
        std::lock_guard lock(d_->mutex);
        for (Report& r : replies) d_->input.push_back(FullReport(std::move(r)));
      }
      d_->inputReady.notify_all();
    }
    return int(kReportSize);
  }

  HidReportLayout ReportLayout() const override {
    std::lock_guard lock(d_->mutex);
    return ParseReportDescriptor(d_->descriptor);
  }

 private:
  std::shared_ptr<FakeHidBus::Device> d_;
};

}  // namespace

FakeHidBus::FakeHidBus() = default;
FakeHidBus::~FakeHidBus() = default;

void FakeHidBus::Add(const std::string& path, std::uint16_t vendorId, std::uint16_t productId) {
  auto d = std::make_shared<Device>();
  d->path = path;
  d->vendorId = vendorId;
  d->productId = productId;
  std::lock_guard lock(mutex_);
  d->nodeStamp = ++nodesMade_;
  devices_.push_back(std::move(d));
}

void FakeHidBus::AddOthers(int count) {
  for (int i = 0; i < count; ++i) Add("/dev/hidraw-other" + std::to_string(i), 0x046D, 0xC52B);
}

std::shared_ptr<FakeHidBus::Device> FakeHidBus::Find(const std::string& path) const {
  std::lock_guard lock(mutex_);
  for (const auto& d : devices_)
    if (d->path == path) return d;
  ADD_FAILURE() << "FakeHidBus: no interface " << path;
  return std::make_shared<Device>();
}

void FakeHidBus::HideIds(const std::string& path) {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  d->idsHidden = true;
}

void FakeHidBus::SetUsagePage(const std::string& path, std::uint16_t usagePage) {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  d->usagePage = usagePage;
}

void FakeHidBus::SetDescriptor(const std::string& path, std::vector<std::uint8_t> descriptor) {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  d->descriptor = std::move(descriptor);
}

void FakeHidBus::SetResponder(const std::string& path, Responder responder) {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  d->responder = std::move(responder);
}

void FakeHidBus::FailOpen(const std::string& path, HidOpenError error) {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  d->openError = error;
}

void FakeHidBus::FailAttributes(const std::string& path) {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  d->attributesFail = true;
}

void FakeHidBus::FailReads(const std::string& path) {
  auto d = Find(path);
  {
    std::lock_guard lock(d->mutex);
    d->readsFail = true;
  }
  d->inputReady.notify_all();
}

void FakeHidBus::Remove(const std::string& path) {
  auto d = Find(path);
  {
    std::lock_guard lock(d->mutex);
    d->removed = true;
  }
  d->inputReady.notify_all();
}

void FakeHidBus::Push(const std::string& path, Report report) {
  auto d = Find(path);
  {
    std::lock_guard lock(d->mutex);
    d->input.push_back(FullReport(std::move(report)));
  }
  d->inputReady.notify_all();
}

std::vector<Report> FakeHidBus::Written(const std::string& path) const {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  return d->written;
}

int FakeHidBus::Opens(const std::string& path) const {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  return d->opens;
}

int FakeHidBus::OpenAttempts(const std::string& path) const {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  return d->openAttempts;
}

int FakeHidBus::Closes(const std::string& path) const {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  return d->closes;
}

int FakeHidBus::AttributeReads(const std::string& path) const {
  auto d = Find(path);
  std::lock_guard lock(d->mutex);
  return d->attributeReads;
}

std::vector<HidInterfaceInfo> FakeHidBus::Enumerate() {
  std::lock_guard lock(mutex_);
  std::vector<HidInterfaceInfo> list;
  for (const auto& d : devices_) {
    std::lock_guard deviceLock(d->mutex);
    if (d->removed) continue;
    if (d->idsHidden)
      list.push_back({d->path, 0, 0, d->usagePage});
    else
      list.push_back({d->path, d->vendorId, d->productId, d->usagePage});
  }
  return list;
}

std::unique_ptr<HidDevice> FakeHidBus::Open(const std::string& path, HidOpenError* error) {
  std::shared_ptr<Device> d;
  {
    std::lock_guard lock(mutex_);
    for (const auto& candidate : devices_)
      if (candidate->path == path) d = candidate;
  }
  HidOpenError why = HidOpenError::Failed;
  if (d) {
    std::lock_guard lock(d->mutex);
    ++d->openAttempts;
    why = d->removed ? HidOpenError::Failed : d->openError;
    if (why == HidOpenError::None) ++d->opens;
  }
  if (error) *error = why;
  if (why != HidOpenError::None) return nullptr;
  return std::make_unique<FakeHidDevice>(d);
}

std::uint64_t FakeHidBus::NodeStamp(const std::string& path) {
  std::lock_guard lock(mutex_);
  std::uint64_t stamp = 0;
  for (const auto& d : devices_) {
    std::lock_guard deviceLock(d->mutex);
    if (d->path == path && !d->removed) stamp = d->nodeStamp;
  }
  return stamp;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace dsptune::test
