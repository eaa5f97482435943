#include "tools/sim/SimStateFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

namespace dsptune {
namespace {

constexpr char kStateMagic[8] = {'D', 'S', 'P', 'T', 'S', 'I', 'M', '1'};
constexpr std::size_t kStateSize = sizeof kStateMagic + 1 + (1 + kSimModeSlots) * std::size_t(kImageSize) +
                                   kSimSettingsSize + kSimRemoteTableSize;

}  // namespace

SimStateLoad LoadSimState(const std::string& path, SimSavedState& state, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (errno == ENOENT) return SimStateLoad::kMissing;
    error = "cannot open state file " + path + ": " + std::strerror(errno);
    return SimStateLoad::kFailed;
  }
  std::vector<std::uint8_t> bytes(kStateSize + 1);
  const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (n != kStateSize || !std::equal(std::begin(kStateMagic), std::end(kStateMagic), bytes.begin()) ||
      bytes[sizeof kStateMagic] >= kSimModeSlots) {
    error = "state file " + path + " is not a simulator state file";
    return SimStateLoad::kFailed;
  }
  auto it = bytes.begin() + sizeof kStateMagic;
  state.currentMode = *it++;
  std::copy_n(it, kImageSize, state.working.begin());
  it += kImageSize;
  for (auto& slot : state.slots) {
    std::copy_n(it, kImageSize, slot.begin());
    it += kImageSize;
  }
  std::copy_n(it, kSimSettingsSize, state.settings.begin());
  it += kSimSettingsSize;
  std::copy_n(it, kSimRemoteTableSize, state.remote.begin());
  return SimStateLoad::kLoaded;
}

bool SaveSimState(const std::string& path, const SimSavedState& state, std::string& error) {
  std::vector<std::uint8_t> bytes(std::begin(kStateMagic), std::end(kStateMagic));
  bytes.reserve(kStateSize);
  bytes.push_back(std::uint8_t(state.currentMode));
  bytes.insert(bytes.end(), state.working.begin(), state.working.end());
  for (const auto& slot : state.slots) bytes.insert(bytes.end(), slot.begin(), slot.end());
  bytes.insert(bytes.end(), state.settings.begin(), state.settings.end());
  bytes.insert(bytes.end(), state.remote.begin(), state.remote.end());

  const std::string temp = path + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    error = "cannot write state file " + temp + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    error = "cannot write state file " + path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace dsptune
