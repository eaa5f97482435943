#include "editors/model/SurroundRoom.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <charconv>

#include "editors/model/EqBandEditing.h"
#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "model/SaturatingCast.h"

namespace dsptune {

const std::array<SpeakerPlace, kSpeakerCount> kSpeakerPlaces = {{
    {"前置左(L)", "前置左", "L", kRoleFrontLeft, -1.0f, 1.0f, 0xE3CF57},
    {"中置(CEN)", "中置", "CEN", kRoleCentre, 0.0f, 1.0f, 0xB0E0E6},
    {"前置右(R)", "前置右", "R", kRoleFrontRight, 1.0f, 1.0f, 0xE3CF57},
    {"后环绕左(SBL)", "后环绕左", "SBL", kRoleBackLeft, -1.0f, -1.0f, 0x4169E1},
    {"超低(SUB)", "超低", "SUB", kRoleSub, 0.0f, -1.0f, 0xEB8E55},
    {"后环绕右(SBR)", "后环绕右", "SBR", kRoleBackRight, 1.0f, -1.0f, 0x4169E1},
    {"侧环绕左(SL)", "侧环绕左", "SL", kRoleSideLeft, -0.5f, 0.0f, 0xFF9912},
    {"侧环绕右(SR)", "侧环绕右", "SR", kRoleSideRight, 0.5f, 0.0f, 0xFF9912},
}};

namespace {

const char* const kRoleEnglish[kRoleCount] = {"CH-L", "CH-R", "CH-SL", "CH-SR", "CH-SUB", "CH-CEN", "CH-SBL", "CH-SBR"};
const char* const kRoleChinese[kRoleCount] = {"前置左", "前置右", "侧环绕左", "侧环绕右", "超低", "中置", "后环绕左", "后环绕右"};

constexpr int kLevelEntrySize = 4;
constexpr int kLevelAreaSize = kLevelEntrySize * kOutputChannelCount;

bool IsSpeaker(int number) { return number >= 1 && number <= kSpeakerCount; }

}  // namespace

const SpeakerPlace& Speaker(int number) {
  return kSpeakerPlaces[std::size_t(std::clamp(number, 1, kSpeakerCount) - 1)];
}

const char* RoleName(int role, int language) {
  if (role < 0 || role >= kRoleCount) return "";
  return language == 1 ? kRoleEnglish[role] : kRoleChinese[role];
}

float PositionLevelDb(double listenerX, double listenerY, double speakerX, double speakerY) {
  const double dx = listenerX - speakerX;
  const double dy = listenerY - speakerY;
  return static_cast<float>(3.0 - 3.0 * std::sqrt(dx * dx + dy * dy));
}

float SpeakerLevelDb(const SsvcSettings& s, int speaker) {
  const auto& place = s.speakers[std::size_t(std::clamp(speaker, 1, kSpeakerCount) - 1)];
  return PositionLevelDb(s.listenerX, s.listenerY, place[0], place[1]);
}

float ChannelPositionLevelDb(int channel) {
  if (channel < 0 || channel >= kOutputChannelCount) return 0.0f;
  const std::vector<std::uint8_t> entry = ReadLiveBytes(kSsvcLevelsOffset + channel * kLevelEntrySize, kLevelEntrySize);
  return entry.size() == std::size_t(kLevelEntrySize) ? GetFloat(entry.data()) : 0.0f;
}

int FirstChannelWithRole(const ChannelRoles& roles, int role) {
  for (int c = 0; c < kOutputChannelCount; ++c)
    if (roles[std::size_t(c)] == role) return c;
  return -1;
}

int ApplySpeakerLevel(int speaker) {
  if (!IsSpeaker(speaker)) return -1;
  const int channel = FirstChannelWithRole(ReadChannelRoles(), Speaker(speaker).role);
  if (channel < 0) return -1;
  const float level = SpeakerLevelDb(EditorSnapshot().ssvc, speaker);
  // The device takes the eight entries only as a whole.
  std::vector<std::uint8_t> area = ReadLiveBytes(kSsvcLevelsOffset, kLevelAreaSize);
  area.resize(kLevelAreaSize);
  PutFloat(&area[std::size_t(channel * kLevelEntrySize)], level);
  WriteLiveBytes(kSsvcLevelsOffset, area);
  WriteChannelSixValueGain(channel + 1, level);
  return channel;
}

void MoveListener(float x, float y) {
  SsvcSettings s = EditorSnapshot().ssvc;
  s.listenerX = x;
  s.listenerY = y;
  WriteSsvcSettings(s);
  for (int n = 1; n <= kSpeakerCount; ++n) ApplySpeakerLevel(n);
}

void MoveSpeaker(int speaker, float x, float y) {
  if (!IsSpeaker(speaker)) return;
  SsvcSettings s = EditorSnapshot().ssvc;
  s.speakers[std::size_t(speaker - 1)] = {x, y};
  WriteSsvcSettings(s);
  ApplySpeakerLevel(speaker);
}

void MoveRoomMarker(int marker, float x, float y) {
  if (marker == kListenerMarker)
    MoveListener(x, y);
  else
    MoveSpeaker(marker, x, y);
}

void StoreRoomSize(int width, int length) {
  SsvcSettings s = EditorSnapshot().ssvc;
  s.roomWidth = width;
  s.roomLength = length;
  WriteSsvcSettings(s);
}

void CenterListener() {
  SsvcSettings s = EditorSnapshot().ssvc;
  s.listenerX = 0.0f;
  WriteSsvcSettings(s);
  s.listenerY = 0.0f;
  WriteSsvcSettings(s);
  for (int n = 1; n <= kSpeakerCount; ++n) ApplySpeakerLevel(n);
}

void ResetSurround() {
  for (int c = 0; c < kOutputChannelCount; ++c) {
    std::vector<std::uint8_t> area = ReadLiveBytes(kSsvcLevelsOffset, kLevelAreaSize);
    area.resize(kLevelAreaSize);
    std::fill_n(area.begin() + c * kLevelEntrySize, kLevelEntrySize, std::uint8_t(0));
    WriteLiveBytes(kSsvcLevelsOffset, area);
    WriteChannelSixValueGain(c + 1, 0.0f);
  }
  StoreLiveBytes(kSsvcSettingsOffset, DefaultSsvcSettingsRecord());
  ApplySsvcSettingsRecordToEditor();
  WriteSsvcSettings(EditorSnapshot().ssvc);
}

std::array<float, 2> MarkerMetres(const SsvcSettings& s, int marker) {
  if (IsSpeaker(marker)) return s.speakers[std::size_t(marker - 1)];
  return {s.listenerX, s.listenerY};
}

// Independent of the process locale, like LeadingNumber.
int LeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    value = std::min<long long>(value * 10 + (text[i] - '0'), 1000000);
  return static_cast<int>(negative ? -value : value);
}

std::string MetresText(double metres) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, metres, std::chars_format::fixed, 1);
  if (error != std::errc()) return "+0.0m";
  std::string text(buffer, end);
  if (text.front() != '-') text.insert(text.begin(), '+');
  return text + "m";
}

std::string RoomSizeText(int metres) { return std::to_string(metres) + "m"; }

int ClampRoomSize(int metres) { return std::clamp(metres, kMinRoomMetres, kMaxRoomMetres); }

double ClampToRoom(double value, int roomSide) {
  const double half = roomSide / 2.0;
  if (std::isnan(value)) return 0.0;
  return std::clamp(value, -half, half);
}

int SpinTenths(double metres) {
  if (!std::isfinite(metres)) return 0;
  const double tenths = metres * 10.0;
  // A float holding a tenth (0.7f = 0.69999998...) must still give that tenth.
  constexpr double kTolerance = 1e-4;
  const double nudged = tenths + (tenths >= 0.0 ? kTolerance : -kTolerance);
  return SaturatingCast<int>(nudged);
}

int SpinLimit(int roomSide) { return 5 * roomSide; }

int SteppedSpinPosition(int position, int delta, int roomSide) {
  // Widened: a position taken from a far-off stored coordinate may sit at the int limit.
  const long long moved = static_cast<long long>(position) + (delta > 0 ? 1 : -1);
  return int(std::clamp<long long>(moved, -SpinLimit(roomSide), SpinLimit(roomSide)));
}

int SteppedRoomSize(int position, int delta) { return ClampRoomSize(position + (delta > 0 ? 1 : -1)); }

}  // namespace dsptune
