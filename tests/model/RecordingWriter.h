#pragma once
// A DeviceWriter that records what the model sends, for tests without a link.
#include <cstdint>
#include <string>
#include <vector>

#include "model/ParameterImage.h"

namespace dsptune::test {

struct SentWrite {
  enum Kind { Dsp, Live, Coalescing } kind;
  std::uint8_t block = 0, address = 0;
  std::uint16_t offset = 0;
  std::vector<std::uint8_t> bytes;
  bool coalescing = true;
};

class RecordingWriter : public DeviceWriter {
 public:
  void SendDspRecord(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values) override {
    sent.push_back({SentWrite::Dsp, block, address, 0, {values.begin(), values.end()}, true});
  }
  void SendLiveBytes(std::uint16_t offset, std::span<const std::uint8_t> bytes) override {
    sent.push_back({SentWrite::Live, 0, 0, offset, {bytes.begin(), bytes.end()}, true});
  }
  void SetCoalescingAllowed(bool allowed) override { sent.push_back({SentWrite::Coalescing, 0, 0, 0, {}, allowed}); }

  std::vector<SentWrite> sent;
};

// Fresh model with a recording writer installed.
class ModelFixtureBase {
 protected:
  ModelFixtureBase() {
    ResetDataModel();
    SetDeviceWriter(&writer);
  }
  ~ModelFixtureBase() { SetDeviceWriter(nullptr); }
  RecordingWriter writer;
};

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(std::uint8_t(v));
  return out;
}

}  // namespace dsptune::test
