#include "tools/sim/DeviceSimulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "model/DefaultImage.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = DeviceSimulator::Clock;
using Replies = std::vector<DeviceSimulator::Packet>;

Bytes Concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Bytes Filled(std::size_t n, std::uint8_t first) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t(first + i);
  return b;
}

Bytes Range(const ParameterImageBytes& image, int offset, int length) {
  return Bytes(image.begin() + offset, image.begin() + offset + length);
}

Bytes ReadChunk(DeviceSimulator& sim, int offset, int length) {
  const Replies r = sim.HandlePacket(Bytes{0x30, std::uint8_t(offset >> 8), std::uint8_t(offset), std::uint8_t(length)});
  if (r.size() != 1 || r[0].size() < 4) return {};
  return Bytes(r[0].begin() + 4, r[0].end());
}

// A scratch directory per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("dsptune-sim-" + std::to_string(::getpid()) + "-" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// ---------------------------------------------------------------------------------------
// Answer shapes

TEST(DeviceSimulatorReplies, EveryCommandGetsItsAnswer) {
  struct Case {
    const char* name;
    Bytes packet;
    std::optional<Bytes> exact;  // the whole answer, when it is fixed
    std::uint8_t code;
    std::size_t size;
  };
  const Case cases[] = {
      {"select mode", {0x03, 0x01}, Bytes{0x03}, 0x03, 1},
      {"store mode", {0x04, 0x01}, Bytes{0x04}, 0x04, 1},
      {"load mode", {0x05, 0x00}, Bytes{0x05}, 0x05, 1},
      {"factory mode", {0x06, 0x03}, Bytes{0x06}, 0x06, 1},
      {"current mode", {0x07}, Bytes{0x07, 0x00}, 0x07, 2},
      {"dsp write", {0x09, 0x00, 0x04, 0x17, 0x01, 0x00, 0x00, 0x00, 0x03}, Bytes{0x09}, 0x09, 1},
      {"status", {0x0E}, std::nullopt, 0x0E, 31},
      {"read chunk", {0x30, 0x00, 0x00, 0x38}, std::nullopt, 0x30, 60},
      {"write chunk", {0x31, 0x00, 0x00, 0x01, 0xAA}, Bytes{0x31}, 0x31, 1},
      {"end of write", {0x32}, Bytes{0x32}, 0x32, 1},
      {"end learning", {0x61}, Bytes{0x61}, 0x61, 1},
      {"remote table", {0x62}, std::nullopt, 0x62, 17},
      {"write remote table", Concat({0x63}, Bytes(30, 0x11)), Bytes{0x63}, 0x63, 1},
      {"machine reset", {0x68, 0xAA}, Bytes{0x68}, 0x68, 1},
      {"dsp version", {0x7E}, Concat({0x7E}, {'D', 'S', 'P', ' ', '2', '.', '0', '.', '1', 0}), 0x7E, 11},
      {"protocol code", {0x7F}, Bytes{0x7F, 20}, 0x7F, 2},
      {"model name", {0x80}, Bytes{0x80, 'L', 'Q', '8', '3', '0', 0}, 0x80, 7},
      {"mcu version", {0x81}, Bytes{0x81, 'V', '1', '.', '3', '.', '3', 0}, 0x81, 8},
      {"live write", {0x85, 0x00, 0x00, 0x01, 0x00}, Bytes{0x85}, 0x85, 1},
      {"write settings", Concat({0x91}, Bytes(14, 0x05)), Bytes{0x91}, 0x91, 1},
      {"read settings", {0x92}, Concat({0x92}, {0, 0, 0, 0, 0, 80, 90, 0, 0, 0, 0, 0, 0, 0}), 0x92, 15},
      {"unknown code", {0x55, 0x01}, Bytes{0x55}, 0x55, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceSimulator sim;
    const Replies r = sim.HandlePacket(c.packet);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], c.code);
    EXPECT_EQ(r[0].size(), c.size);
    if (c.exact) {
      EXPECT_EQ(r[0], *c.exact);
    }
  }
}

TEST(DeviceSimulatorReplies, DisconnectAndLearnAnswerNothingAtOnce) {
  DeviceSimulator sim;
  EXPECT_TRUE(sim.HandlePacket(Bytes{0x8A}).empty());
  EXPECT_TRUE(sim.HandlePacket(Bytes{0x60, 0x01}).empty());
  EXPECT_TRUE(sim.HandlePacket(Bytes{}).empty());
}

TEST(DeviceSimulatorReplies, IdentityOptionsAreAnswered) {
  DeviceOptions options;
  options.modelName = std::string(70, 'M');
  options.protocolCode = 17;
  DeviceSimulator sim(options);
  const Replies name = sim.HandlePacket(Bytes{0x80});
  ASSERT_EQ(name.size(), 1u);
  ASSERT_EQ(name[0].size(), 60u) << "58 characters, the code and a zero fit one packet";
  EXPECT_EQ(name[0].back(), 0);
  EXPECT_EQ(sim.HandlePacket(Bytes{0x7F}), (Replies{{0x7F, 17}}));
}

TEST(DeviceSimulatorReplies, StatusBlockCarriesFormatPitchAndConverters) {
  DeviceOptions options;
  options.streamFormat = 2;
  DeviceSimulator sim(options);
  // Music pitch +3 is stored by the device as 00 00 00 08 at block 4 address 0x15.
  sim.HandlePacket(Bytes{0x09, 0x00, 0x04, 0x15, 0x01, 0x00, 0x00, 0x00, 0x08});
  const Replies r = sim.HandlePacket(Bytes{0x0E});
  ASSERT_EQ(r.size(), 1u);
  const Bytes& s = r[0];
  ASSERT_EQ(s.size(), 31u);
  for (int i = 1; i <= 6; ++i) EXPECT_LE(s[std::size_t(i)], 100) << "meter " << i - 1;
  EXPECT_EQ(s[1 + 7], 0x82);
  EXPECT_EQ(Bytes(s.begin() + 1 + 16, s.begin() + 1 + 23), (Bytes{1, 1, 1, 2, 4, 0, 2}));
  EXPECT_EQ(DeviceSimulator().StatusBlock()[7] >> 4, 5) << "default pitch 0";
}

// ---------------------------------------------------------------------------------------
// Parameter image

TEST(DeviceSimulatorImage, ChunksReassembleTheDefaultImage) {
  DeviceSimulator sim;
  Bytes image;
  for (int chunk = 0; chunk < 63; ++chunk) {
    const int offset = chunk * 56, length = chunk == 62 ? 46 : 56;
    const Bytes data = ReadChunk(sim, offset, length);
    ASSERT_EQ(data.size(), std::size_t(length)) << "chunk " << chunk;
    image.insert(image.end(), data.begin(), data.end());
  }
  EXPECT_EQ(image, Bytes(DefaultImage().begin(), DefaultImage().end()));
}

TEST(DeviceSimulatorImage, ChunkLengthsAreCut) {
  struct Case {
    int offset, length;
    std::size_t expected;
  };
  for (const Case c : {Case{3472, 46, 46}, Case{3500, 56, 18}, Case{3517, 56, 1}, Case{3518, 56, 0},
                       Case{0xFFFF, 10, 0}, Case{0, 200, 56}, Case{10, 0, 0}}) {
    SCOPED_TRACE(c.offset);
    DeviceSimulator sim;
    const Replies r = sim.HandlePacket(Bytes{0x30, std::uint8_t(c.offset >> 8), std::uint8_t(c.offset), std::uint8_t(c.length)});
    ASSERT_EQ(r.size(), 1u);
    ASSERT_EQ(r[0].size(), 4 + c.expected);
    EXPECT_EQ(r[0][3], c.expected) << "the length byte tells what was sent";
    if (c.expected > 0) {
      EXPECT_EQ(Bytes(r[0].begin() + 4, r[0].end()), Range(DefaultImage(), c.offset, int(c.expected)));
    }
  }
}

TEST(DeviceSimulatorImage, DspWritesUpdateOnlyTheirRecord) {
  struct Case {
    const char* name;
    Bytes packet;
    int offset;          // first changed image byte (-1: nothing changes)
    Bytes expected;      // bytes expected there
  };
  const Bytes sevenValues = Filled(28, 0x40);
  const Case cases[] = {
      {"input source", {0x09, 0x00, 0x04, 0x17, 0x01, 0x00, 0x00, 0x00, 0x03}, 2014, {0x00, 0x00, 0x00, 0x03}},
      {"compressor record", Concat({0x09, 0x00, 0x04, 0x0E, 0x07}, sevenValues), 1948, sevenValues},
      {"more values than the record holds", {0x09, 0x00, 0x04, 0x0C, 0x02, 1, 2, 3, 4, 5, 6, 7, 8}, 1934, {1, 2, 3, 4}},
      {"last record of the area", {0x09, 0x00, 0x0E, 0x0B, 0x01, 9, 8, 7, 6}, 3514, {9, 8, 7, 6}},
      {"band coefficients have no record", Concat({0x09, 0x00, 0x04, 0x02, 0x05}, Bytes(20, 0x77)), -1, {}},
      {"locate selector has no record", {0x09, 0x00, 0x04, 0x26, 0x01, 0, 0, 0, 3}, -1, {}},
      {"values missing", {0x09, 0x00, 0x04, 0x17, 0x01, 0x00, 0x00}, -1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceSimulator sim;
    EXPECT_EQ(sim.HandlePacket(c.packet), (Replies{{0x09}}));
    ParameterImageBytes expected = DefaultImage();
    if (c.offset >= 0) std::copy(c.expected.begin(), c.expected.end(), expected.begin() + c.offset);
    EXPECT_TRUE(sim.WorkingImage() == expected);
  }
}

TEST(DeviceSimulatorImage, RecordWalkFindsEveryRecordOfTheDefaultImage) {
  EXPECT_EQ(FindImageRecord(DefaultImage(), 1, 0x04)->valueOffset, 1425);
  EXPECT_EQ(FindImageRecord(DefaultImage(), 4, 0x0E)->count, 7);
  EXPECT_EQ(FindImageRecord(DefaultImage(), 14, 0x0B)->valueOffset, 3514);
  EXPECT_FALSE(FindImageRecord(DefaultImage(), 4, 0x26).has_value());
  ParameterImageBytes broken = DefaultImage();
  broken[3513] = 2;  // the last record's count now runs past the image end
  EXPECT_FALSE(FindImageRecord(broken, 14, 0x0B).has_value());
  EXPECT_TRUE(FindImageRecord(broken, 14, 0x0A).has_value());
}

TEST(DeviceSimulatorImage, LiveWritesStayInsideTheLiveBlock) {
  struct Case {
    const char* name;
    int offset;
    Bytes data;
    std::size_t written;
  };
  const Case cases[] = {
      {"music band 2", 420, {0x00, 0x96, 0x00, 0x7D, 0x05, 0x86, 0x01}, 7},
      {"subwoofer decay", 1410, {0xC1, 0x20, 0x00, 0x00}, 4},
      {"cut at the live block end", 1420, {1, 2, 3, 4}, 2},
      {"past the live block", 1422, {1, 2, 3, 4}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceSimulator sim;
    const Bytes packet = Concat({0x85, std::uint8_t(c.offset >> 8), std::uint8_t(c.offset), std::uint8_t(c.data.size())}, c.data);
    EXPECT_EQ(sim.HandlePacket(packet), (Replies{{0x85}}));
    ParameterImageBytes expected = DefaultImage();
    std::copy_n(c.data.begin(), c.written, expected.begin() + c.offset);
    EXPECT_TRUE(sim.WorkingImage() == expected);
  }
}

TEST(DeviceSimulatorImage, WriteJobReplacesTheWorkingImage) {
  DeviceSimulator sim;
  ParameterImageBytes target = DefaultImage();
  for (std::size_t i = 0; i < target.size(); i += 13) target[i] ^= 0x5A;
  for (int chunk = 0; chunk < 63; ++chunk) {
    const int offset = chunk * 56, length = chunk == 62 ? 46 : 56;
    const Bytes packet = Concat({0x31, std::uint8_t(offset >> 8), std::uint8_t(offset), std::uint8_t(length)},
                                Range(target, offset, length));
    ASSERT_EQ(sim.HandlePacket(packet), (Replies{{0x31}}));
  }
  EXPECT_EQ(sim.HandlePacket(Bytes{0x32}), (Replies{{0x32}}));
  EXPECT_TRUE(sim.WorkingImage() == target);
}

// ---------------------------------------------------------------------------------------
// Modes, tables, reset

TEST(DeviceSimulatorModes, StoreLoadAndFactoryRestore) {
  DeviceSimulator sim;
  const Bytes setSource = {0x09, 0x00, 0x04, 0x17, 0x01, 0x00, 0x00, 0x00, 0x03};
  sim.HandlePacket(setSource);
  ASSERT_EQ(sim.WorkingImage()[2017], 3);

  EXPECT_EQ(sim.HandlePacket(Bytes{0x04, 0x02}), (Replies{{0x04}}));
  EXPECT_EQ(sim.SlotImage(2)[2017], 3);
  EXPECT_EQ(sim.SlotImage(0)[2017], 11) << "other slots keep their image";
  EXPECT_EQ(sim.HandlePacket(Bytes{0x07}), (Replies{{0x07, 0x02}}));

  EXPECT_EQ(sim.HandlePacket(Bytes{0x05, 0x00}), (Replies{{0x05}}));
  EXPECT_EQ(sim.CurrentMode(), 0);
  EXPECT_EQ(ReadChunk(sim, 2016, 2), (Bytes{0x00, 11}));

  // Unsaved edits are lost when another mode is loaded.
  sim.HandlePacket(setSource);
  sim.HandlePacket(Bytes{0x05, 0x02});
  EXPECT_EQ(sim.CurrentMode(), 2);
  EXPECT_EQ(ReadChunk(sim, 2016, 2), (Bytes{0x00, 3}));

  EXPECT_EQ(sim.HandlePacket(Bytes{0x06, 0x02}), (Replies{{0x06}}));
  EXPECT_TRUE(sim.SlotImage(2) == DefaultImage());
  EXPECT_TRUE(sim.WorkingImage() == DefaultImage());

  EXPECT_EQ(sim.HandlePacket(Bytes{0x03, 0x03}), (Replies{{0x03}}));
  EXPECT_EQ(sim.CurrentMode(), 3);
  EXPECT_TRUE(sim.WorkingImage() == DefaultImage()) << "selecting does not load";
}

TEST(DeviceSimulatorModes, BadSlotsAndShortPacketsAreParameterErrors) {
  struct Case {
    Bytes packet;
    Bytes expected;
  };
  const Case cases[] = {
      {{0x05, 0x04}, {0x0A, 0x02, 0x05, 0x04}}, {{0x06, 0xFF}, {0x0A, 0x02, 0x06, 0xFF}},
      {{0x04}, {0x0A, 0x03, 0x04, 0x00}},       {{0x30, 0x00}, {0x0A, 0x03, 0x30, 0x00}},
      {{0x60, 0x00}, {0x0A, 0x02, 0x60, 0x00}}, {{0x60, 26}, {0x0A, 0x02, 0x60, 26}},
      {{0x68, 0x55}, {0x0A, 0x02, 0x68, 0x55}}, {{0x63, 1, 2, 3}, {0x0A, 0x03, 0x63, 1}},
      {{0x91, 1}, {0x0A, 0x03, 0x91, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.packet));
    DeviceSimulator sim;
    EXPECT_EQ(sim.HandlePacket(c.packet), (Replies{c.expected}));
    EXPECT_EQ(sim.CurrentMode(), 0);
    EXPECT_TRUE(sim.WorkingImage() == DefaultImage());
    EXPECT_EQ(sim.RemoteCodes(), DeviceSimulator::FactoryRemoteTable());
    EXPECT_EQ(sim.MachineSettings(), DeviceSimulator::FactorySettings());
  }
}

TEST(DeviceSimulatorTables, RemoteTableAndMachineSettingsRoundTrip) {
  DeviceSimulator sim;
  const Bytes table = Filled(30, 0x20);
  sim.HandlePacket(Concat({0x63}, table));
  EXPECT_EQ(sim.HandlePacket(Bytes{0x62}), (Replies{Concat({0x62}, Bytes(table.begin(), table.begin() + 16))}));
  const Bytes settings = Filled(14, 1);
  sim.HandlePacket(Concat({0x91}, settings));
  EXPECT_EQ(sim.HandlePacket(Bytes{0x92}), (Replies{Concat({0x92}, settings)}));
}

TEST(DeviceSimulatorTables, MachineResetRestoresEverything) {
  DeviceSimulator sim;
  sim.HandlePacket(Bytes{0x09, 0x00, 0x04, 0x17, 0x01, 0x00, 0x00, 0x00, 0x03});
  sim.HandlePacket(Bytes{0x04, 0x01});
  sim.HandlePacket(Concat({0x63}, Filled(30, 1)));
  sim.HandlePacket(Concat({0x91}, Filled(14, 1)));
  EXPECT_EQ(sim.HandlePacket(Bytes{0x68, 0xAA}), (Replies{{0x68}}));
  EXPECT_EQ(sim.CurrentMode(), 0);
  EXPECT_TRUE(sim.WorkingImage() == DefaultImage());
  EXPECT_TRUE(sim.SlotImage(1) == DefaultImage());
  EXPECT_EQ(sim.RemoteCodes(), DeviceSimulator::FactoryRemoteTable());
  EXPECT_EQ(sim.MachineSettings(), DeviceSimulator::FactorySettings());
}

// ---------------------------------------------------------------------------------------
// Remote learning

TEST(DeviceSimulatorLearn, AnswerComesOnlyAfterTheDelay) {
  DeviceOptions options;
  options.learnDelay = 300ms;
  DeviceSimulator sim(options);
  const Clock::time_point before = Clock::now();
  EXPECT_TRUE(sim.HandlePacket(Bytes{0x60, 0x07}).empty());
  const Clock::time_point after = Clock::now();
  EXPECT_TRUE(sim.LearnPending());
  ASSERT_TRUE(sim.NextDueTime().has_value());
  EXPECT_TRUE(sim.TakeDueReplies(before + 299ms).empty());
  EXPECT_EQ(sim.TakeDueReplies(after + 300ms), (Replies{{0x60, 0x01, 0x07, DeviceSimulator::LearnedCode(7)}}));
  EXPECT_FALSE(sim.LearnPending());
  EXPECT_TRUE(sim.TakeDueReplies(after + 1h).empty()) << "answered once";
  EXPECT_EQ(sim.RemoteCodes(), DeviceSimulator::FactoryRemoteTable()) << "kept only when the program applies it";
}

TEST(DeviceSimulatorLearn, StopAndNewRequestsCancelThePendingKey) {
  DeviceSimulator sim;
  sim.HandlePacket(Bytes{0x60, 0x05});
  EXPECT_EQ(sim.HandlePacket(Bytes{0x61}), (Replies{{0x61}}));
  EXPECT_FALSE(sim.LearnPending());
  EXPECT_TRUE(sim.TakeDueReplies(Clock::now() + 1h).empty());

  sim.HandlePacket(Bytes{0x60, 0x05});
  sim.HandlePacket(Bytes{0x60, 0x06});
  const Replies r = sim.TakeDueReplies(Clock::now() + 1h);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0][2], 0x06);

  sim.HandlePacket(Bytes{0x60, 0x05});
  sim.HandlePacket(Bytes{0x8A});
  EXPECT_FALSE(sim.LearnPending()) << "the program left";
}

// ---------------------------------------------------------------------------------------
// Faults

TEST(DeviceSimulatorFaults, DropEveryNthAnswer) {
  DeviceOptions options;
  options.dropEvery = 3;
  DeviceSimulator sim(options);
  std::vector<std::size_t> counts;
  for (int i = 0; i < 6; ++i) counts.push_back(sim.HandlePacket(Bytes{0x7F}).size());
  EXPECT_EQ(counts, (std::vector<std::size_t>{1, 1, 0, 1, 1, 0}));
}

TEST(DeviceSimulatorFaults, LatencyQueuesAnswersInOrder) {
  DeviceOptions options;
  options.replyLatency = 50ms;
  DeviceSimulator sim(options);
  const Clock::time_point before = Clock::now();
  EXPECT_TRUE(sim.HandlePacket(Bytes{0x7F}).empty());
  EXPECT_TRUE(sim.HandlePacket(Bytes{0x07}).empty());
  const Clock::time_point after = Clock::now();
  EXPECT_TRUE(sim.TakeDueReplies(before + 49ms).empty());
  EXPECT_EQ(sim.TakeDueReplies(after + 50ms), (Replies{{0x7F, 20}, {0x07, 0}}));
}

TEST(DeviceSimulatorFaults, ParameterErrorRefusesTheNthCommandOnce) {
  DeviceOptions options;
  options.parameterErrorAfter = 2;
  DeviceSimulator sim(options);
  sim.HandleNetworkPayload(Bytes{0x80, 0x06});  // a Z-Wave acknowledgement is not a command
  EXPECT_EQ(sim.HandlePacket(Bytes{0x7F}), (Replies{{0x7F, 20}}));
  EXPECT_EQ(sim.HandlePacket(Bytes{0x04, 0x02}), (Replies{{0x0A, 0x01, 0x04, 0x02}}));
  EXPECT_EQ(sim.CurrentMode(), 0) << "a refused command has no effect";
  EXPECT_EQ(sim.HandlePacket(Bytes{0x04, 0x02}), (Replies{{0x04}}));
  EXPECT_EQ(sim.CommandsReceived(), 3);
}

TEST(DeviceSimulatorFaults, AnyBytesAreSafe) {
  std::mt19937 random(20240601);
  DeviceOptions options;
  options.learnDelay = 0ms;
  DeviceSimulator sim(options);
  std::uniform_int_distribution<int> length(0, 70), byte(0, 255);
  const Bytes codes = {0x03, 0x04, 0x05, 0x06, 0x07, 0x09, 0x0E, 0x12, 0x30, 0x31, 0x32, 0x60, 0x61,
                       0x62, 0x63, 0x68, 0x7E, 0x7F, 0x80, 0x81, 0x85, 0x8A, 0x91, 0x92};
  for (int i = 0; i < 5000; ++i) {
    Bytes packet(std::size_t(length(random)));
    for (auto& b : packet) b = std::uint8_t(byte(random));
    if (!packet.empty() && i % 2 == 0) packet[0] = codes[std::size_t(i / 2) % codes.size()];
    const Replies replies = i % 3 == 0 ? sim.HandleNetworkPayload(packet) : sim.HandlePacket(packet);
    for (const auto& r : replies) {
      ASSERT_FALSE(r.empty());
      ASSERT_LE(r.size(), 60u);
    }
    for (const auto& r : sim.TakeDueReplies(Clock::now())) ASSERT_EQ(r.size(), 4u);
  }
}

// ---------------------------------------------------------------------------------------
// Transcript and state file

TEST(DeviceSimulatorFiles, TranscriptKeepsEveryReceivedPacket) {
  TempDir dir;
  DeviceOptions options;
  options.transcriptPath = dir.File("transcript.txt");
  {
    DeviceSimulator sim(options);
    std::string error;
    ASSERT_TRUE(sim.OpenFiles(error)) << error;
    sim.HandleNetworkPayload(Bytes{0x81, 0x7F});
    sim.HandleNetworkPayload(Bytes{0x80, 0x06});
    sim.HandlePacket(Bytes{0x30, 0x0D, 0x90, 0x2E});
    EXPECT_EQ(sim.Transcript(), (std::vector<std::string>{"81 7F", "80 06", "30 0D 90 2E"}));
    EXPECT_EQ(sim.ZWaveAcks(), 1);
    EXPECT_EQ(sim.CommandsReceived(), 2);
  }
  std::ifstream file(options.transcriptPath);
  std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all, "81 7F\n80 06\n30 0D 90 2E\n");
}

TEST(DeviceSimulatorFiles, StateSurvivesARestart) {
  TempDir dir;
  DeviceOptions options;
  options.statePath = dir.File("device.state");
  std::string error;
  {
    DeviceSimulator sim(options);
    ASSERT_TRUE(sim.OpenFiles(error)) << "a missing state file starts from the factory: " << error;
    EXPECT_TRUE(sim.SaveStateIfChanged(error));
    EXPECT_FALSE(std::filesystem::exists(options.statePath)) << "nothing changed, nothing written";
    sim.HandlePacket(Bytes{0x09, 0x00, 0x04, 0x17, 0x01, 0x00, 0x00, 0x00, 0x03});
    sim.HandlePacket(Bytes{0x04, 0x02});
    sim.HandlePacket(Bytes{0x85, 0x00, 0x00, 0x02, 0xAB, 0xCD});  // an unsaved edit
    sim.HandlePacket(Concat({0x63}, Filled(30, 7)));
    sim.HandlePacket(Concat({0x91}, Filled(14, 9)));
    ASSERT_TRUE(sim.SaveStateIfChanged(error)) << error;
  }
  DeviceSimulator restarted(options);
  ASSERT_TRUE(restarted.OpenFiles(error)) << error;
  EXPECT_EQ(restarted.CurrentMode(), 2);
  EXPECT_EQ(restarted.SlotImage(2)[2017], 3);
  EXPECT_EQ(restarted.WorkingImage()[0], 0xAB);
  EXPECT_EQ(restarted.RemoteCodes()[0], 7);
  EXPECT_EQ(restarted.MachineSettings()[13], 9 + 13);
}

TEST(DeviceSimulatorFiles, MalformedStateFileIsRefused) {
  TempDir dir;
  DeviceOptions options;
  options.statePath = dir.File("device.state");
  std::ofstream(options.statePath) << "not a state file";
  DeviceSimulator sim(options);
  std::string error;
  EXPECT_FALSE(sim.OpenFiles(error));
  EXPECT_NE(error.find("not a simulator state file"), std::string::npos) << error;
  EXPECT_TRUE(sim.WorkingImage() == DefaultImage());
}

}  // namespace
}  // namespace dsptune
