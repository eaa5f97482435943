#include "model/SettingNames.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <optional>

#include "dsp/Biquad.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/RecordFormulas.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...) {
  char text[512];  // room for four extreme floats in one value text
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string N(int n) { return std::to_string(n); }
BilingualText Same(const std::string& text) { return {text, text}; }

// Chinese first, as the language index counts.
BilingualText T(std::string zh, std::string en) { return {std::move(zh), std::move(en)}; }

BilingualText Master() { return T("主控制", "Master controls"); }
BilingualText MicInputs() { return T("话筒输入", "Mic inputs"); }
BilingualText MicPath(int path) { return path ? T("话筒通道B", "Mic CH B") : T("话筒通道A", "Mic CH A"); }
BilingualText Features() { return T("特色功能", "Features"); }
BilingualText MusicSources() { return T("音源设置", "Music source setting"); }
BilingualText Music() { return T("音乐", "Music"); }
BilingualText Output(int channel) { return T("输出通道" + N(channel), "Output CH" + N(channel)); }
BilingualText Location() { return T("声场定位", "Location"); }
BilingualText RecordOutput() { return T("录音输出", "Record output"); }
BilingualText Other() { return T("其他", "Other"); }
BilingualText Bypass() { return T("均衡旁路", "Bypass"); }

// How a record's value reads. Most follow their conversion kind; switches, choices and
// the derived records have readings of their own.
enum class Style {
  ByKind,
  Switch,           // a box: `onValue` is the stored byte of the ticked box
  EchoType,         // 0 mono, 1 stereo
  Role,             // a channel's speaker role 0..7
  Source,           // the music input source 0..13
  Polarity,         // 100 normal, -100 inverted (the "Phase 180°" box)
  SplitMix,         // the band-split mix pair
  Compressor,       // the 7-value compressor / limiter record
  MicSixValue,      // six-value gain record with the microphone block's constants
  ChannelSixValue,  // ... with the output channels' constants
  ShiftFrequency,   // 2 pi f / 48000
  LinearGain,       // a linear factor, read in dB
  Pitch,            // pitch + 5 as an integer
  Integer,
  Hz,
  Db,
};

struct Description {
  SettingName name;
  Style style = Style::ByKind;
  int onValue = 1;
};

Description Named(BilingualText page, BilingualText item, Style style = Style::ByKind, int onValue = 1) {
  return {{std::move(page), std::move(item)}, style, onValue};
}

Description MicrophoneRecord(int a) {
  if (a >= 0x04 && a <= 0x07)
    return Named(MicInputs(), T("话筒口" + N(a - 0x03) + " 音量", "Mic " + N(a - 0x03) + " Vol"));
  if (a >= 0x08 && a <= 0x0B)
    return Named(MicInputs(), T("话筒口" + N(a - 0x07) + " 噪声门", "Mic " + N(a - 0x07) + " MNG"));
  switch (a) {
    case 0x0C: return Named(Features(), T("自动超低 启用", "Auto SUB vol decay ON"), Style::Switch, 1);
    case 0x0D: return Named(Features(), T("自动超低 超低比例", "Auto SUB vol decay SUB Vol"));
    case 0x0E: return Named(Master(), T("话筒音量", "Mic Vol"));
    case 0x0F: return Named(Master(), T("话筒静音增益", "Mic mute gain"));
    case 0x10: return Named(Master(), T("效果总音量", "Effect Vol"));
    case 0x11: return Named(Master(), T("效果静音增益", "Effect mute gain"));
  }
  // The two paths have the same records, path B 0x1B addresses above path A.
  const int path = a >= 0x3C ? 1 : 0;
  const int r = a - (path ? 0x3C : 0x21);
  const std::string x = path ? "B" : "A";
  if (r >= 1 && r <= 4) return Named(MicInputs(), T("话筒口" + N(r) + " 到通道" + x, "Mic " + N(r) + " to CH " + x));
  switch (r) {
    case 0: return Named(EqName(path ? kEqMicB : kEqMicA), Bypass(), Style::Switch, 1);
    case 5: return Named(MicPath(path), T("话筒移频", "Shift Frequency"), Style::ShiftFrequency);
    case 6: return Named(MicPath(path), T("话筒移频延时", "Shift Frequency delay"));
    case 7: return Named(MicPath(path), T("话筒移频开关", "Shift Frequency switch"), Style::Switch, 0);
    case 8:
      return Named(Features(), T("话筒低频增强 通道" + x + "反向增益", "Mic bass boost CH " + x + " inverse gain"),
                   Style::LinearGain);
    case 9:
      return Named(Features(), T("话筒低频增强 通道" + x + "增益", "Mic bass boost CH " + x + " gain"),
                   Style::LinearGain);
    case 10: return Named(Features(), T("话筒低频增强 通道" + x, "Mic Max Bass CH " + x), Style::Switch, 0);
    case 11:
      return Named(Features(), T("话筒低频增强 通道" + x + "滤波", "Mic bass boost CH " + x + " filter"),
                   Style::MicSixValue);
  }
  return {};
}

// Echo (block 2) and reverb (block 3) have the same shape: two halves A and B, each an
// EQ bypass and the effect's rows, then the master volume and its mute gain.
struct EffectRow {
  int address;  // in half A
  const char* zh;
  const char* en;
  Style style = Style::ByKind;
};
constexpr EffectRow kEchoRows[] = {{0x08, "类型", "Type", Style::EchoType},
                                   {0x09, "电平", "Level"},
                                   {0x0A, "预延时", "Predelay"},
                                   {0x0B, "间隔", "Time"},
                                   {0x0C, "起始音量", "Start Vol"},
                                   {0x0D, "衰减比例", "Vol Decay"}};
// 0x0B is written together with 0x0A; the device keeps two copies of the time.
constexpr EffectRow kReverbRows[] = {
    {0x08, "电平", "Level"}, {0x09, "预延时", "Predelay"}, {0x0A, "时长", "Time"}, {0x0B, "时长(副本)", "Time (copy)"}};

Description EffectRecord(bool echo, int a) {
  const BilingualText effect = echo ? T("回声", "Echo") : T("混响", "Reverb");
  const int master = echo ? 0x1C : 0x18;
  const int halfB = echo ? 14 : 12;  // how far half B's addresses lie above half A's
  if (a == master) return Named(Master(), T(effect[0] + "音量", effect[1] + " Vol"));
  if (a == master + 1) return Named(Master(), T(effect[0] + "静音增益", effect[1] + " mute gain"));
  const int half = a >= 0x07 + halfB ? 1 : 0;
  const int r = a - halfB * half;
  if (r == 0x07) return Named(EqName((echo ? kEqEchoA : kEqReverbA) + half), Bypass(), Style::Switch, 1);
  const std::string x = half ? "B" : "A";
  for (const EffectRow& row : echo ? std::span<const EffectRow>(kEchoRows) : std::span<const EffectRow>(kReverbRows))
    if (row.address == r)
      return Named(effect, T(effect[0] + x + row.zh, effect[1] + " " + x + " " + row.en), row.style);
  return {};
}

constexpr const char* kSourceLabels[] = {"HDMI1",  "HDMI2", "HDMI3", "HDMI4", "HDMI5", "SPDIF1", "SPDIF2",
                                         "SPDIF3", "COAX1", "COAX2", "COAX3", "AUX1",  "AUX2",   "AUX3"};

Description MusicRecord(int a) {
  if (a >= 0x18 && a <= 0x25) {
    const std::string source = kSourceLabels[a - 0x18];
    return Named(MusicSources(), T(source + " 增益", source + " gain"));
  }
  switch (a) {
    case 0x0B: return Named(EqName(kEqMusic), Bypass(), Style::Switch, 1);
    case 0x0C: return Named(Master(), T("音乐音量", "Music Vol"));
    case 0x0D: return Named(Master(), T("音乐静音增益", "Music mute gain"));
    case 0x0E: return Named(Features(), T("音乐输入电平自动控制", "Auto Music Input Level"), Style::Compressor);
    case 0x0F: return Named(Features(), T("音乐输入电平自动控制 启用", "Auto Music Input Level ON"), Style::Switch, 0);
    // Carried byte for byte; no window shows them.
    case 0x10: return Named(Music(), T("保留整数", "reserved integer"), Style::Integer);
    case 0x11: return Named(Music(), T("保留电平", "reserved level"));
    case 0x15: return Named(Master(), T("音乐变调", "Music Pitch"), Style::Pitch);
    case 0x16: return Named(Master(), T("音乐噪声门", "Noisegate"));
    case 0x17: return Named(MusicSources(), T("输入源", "Input source"), Style::Source);
    case 0x27: return Named(Features(), T("音乐低频延时", "Music Max Bass LPF Delay"));
    case 0x28: return Named(Features(), T("音乐低频增益", "Music Max Bass LPF Gain"));
  }
  return {};
}

Description ChannelRecord(int channel, int a) {
  const BilingualText page = Output(channel);
  switch (a) {
    case 0x0F: return Named(EqName(kEqCh1 + channel - 1), Bypass(), Style::Switch, 1);
    case 0x10: return Named(page, T("声道角色", "Role"), Style::Role);
    case 0x11: return Named(page, T("延时方式", "Delay mode"), Style::SplitMix);
    case 0x12: return Named(page, T("延时", "Delay"));
    case 0x13: return Named(page, T("延时开关", "Delay Switch"), Style::Switch, 0);
    case 0x14: return Named(page, T("直达声音量", "Direct"));
    case 0x15: return Named(page, T("混响音量", "Reverb"));
    case 0x16: return Named(page, T("回声音量", "Echo"));
    case 0x17: return Named(page, T("音乐音量", "Music"));
    case 0x18: return Named(Location(), T("通道" + N(channel) + "音量", "CH" + N(channel) + " level"));
    case 0x19: return Named(page, T("相位180°", "Phase 180°"), Style::Polarity);
    case 0x1A: return Named(page, T("静音增益", "Mute gain"));
    case 0x1B: return Named(page, T("压限", "Limiter"), Style::Compressor);
    case 0x1C: return Named(page, T("压限启用", "Compressor Switch"), Style::Switch, 0);
    case 0x1D:
      return Named(Location(), T("通道" + N(channel) + "位置增益", "CH" + N(channel) + " position gain"),
                   Style::ChannelSixValue);
  }
  return {};
}

Description RecordOutputRecord(int a) {
  switch (a) {
    case 0x05: return Named(EqName(kEqRecord), Bypass(), Style::Switch, 1);
    case 0x06: return Named(RecordOutput(), T("直达声音量", "Direct"));
    case 0x07: return Named(RecordOutput(), T("混响音量", "Reverb"));
    case 0x08: return Named(RecordOutput(), T("回声音量", "Echo"));
    case 0x09: return Named(RecordOutput(), T("音乐音量", "Music"));
    case 0x0A: return Named(RecordOutput(), T("压限", "Limiter"), Style::Compressor);
    case 0x0B: return Named(RecordOutput(), T("压限启用", "Compressor Switch"), Style::Switch, 0);
    case 0x0C: return Named(RecordOutput(), T("录音电平", "Rec Level"));
  }
  return {};
}

Description ExciterRecord(int a) {
  static const struct {
    const char* zh;
    const char* en;
    Style style;
  } kRows[] = {
      {"低频", "LowF", Style::Hz},          {"低频增益", "low Gain", Style::Db},
      {"中频", "MidF", Style::Hz},          {"中频增益", "mid Gain", Style::Db},
      {"高频", "HighF", Style::Hz},         {"高频增益", "high Gain", Style::Db},
      {"谐波增益", "Gain", Style::ByKind},  {"谐波次数比", "Harmony", Style::ByKind},
      {"谐波混合比", "Mix", Style::ByKind}, {"谐波总音量", "Level", Style::ByKind},
      {"均衡启用", "EQ ON", Style::Switch}, {"激励启用", "Exciter ON", Style::Switch},
  };
  if (a < 0 || a >= int(std::size(kRows))) return {};
  const auto& row = kRows[a];
  return Named(Features(), T(std::string("话筒激励 ") + row.zh, std::string("Mic Exciter ") + row.en), row.style, 1);
}

Description Describe(std::uint8_t block, std::uint8_t address) {
  Description d;
  switch (block) {
    case 1: d = MicrophoneRecord(address); break;
    case 2:
    case 3: d = EffectRecord(block == 2, address); break;
    case 4: d = MusicRecord(address); break;
    case 13: d = RecordOutputRecord(address); break;
    case 14: d = ExciterRecord(address); break;
    default:
      if (block >= 5 && block <= 12) d = ChannelRecord(block - 4, address);
  }
  if (d.name.item[kTextEnglish].empty())
    d = Named(Other(), T(Format("块%d 地址0x%02X", block, address), Format("block %d address 0x%02X", block, address)));
  return d;
}

// ---- values ----

BilingualText DbText(float db) {
  // Levels set by sliders are whole or tenth dB; those computed from distances are not,
  // and two of them must not read alike.
  const double tenths = static_cast<double>(db) * 10.0;
  const bool tenth = std::fabs(tenths - std::round(tenths)) < 1e-3;
  return Same(Format(tenth ? "%.1f dB" : "%.2f dB", static_cast<double>(db)));
}

BilingualText FloatsText(std::span<const std::uint32_t> words) {
  std::string text;
  for (std::uint32_t w : words) text += (text.empty() ? "" : ", ") + Format("%g", static_cast<double>(BitsFloat(w)));
  return Same(text);
}

BilingualText NumberText(std::int64_t n) { return Same(std::to_string(n)); }

constexpr const char* kRoleNames[8][2] = {{"前置左", "CH-L"},     {"前置右", "CH-R"},    {"侧环绕左", "CH-SL"},
                                          {"侧环绕右", "CH-SR"},  {"超低", "CH-SUB"},    {"中置", "CH-CEN"},
                                          {"后环绕左", "CH-SBL"}, {"后环绕右", "CH-SBR"}};

BilingualText RoleText(int role) {
  if (role < 0 || role > 7) return NumberText(role);
  return T(kRoleNames[role][0], kRoleNames[role][1]);
}

BilingualText SwitchText(int value, int onValue) {
  if (value == onValue) return T("开", "on");
  if (value == (onValue ? 0 : 1)) return T("关", "off");
  return NumberText(value);
}

BilingualText ByKindText(ConversionKind kind, std::span<const std::uint32_t> words) {
  const std::int32_t ui = WordToUiValue(kind, words[0]);
  switch (kind) {
    case ConversionKind::Percent: return Same(Format("%d%%", ui));
    case ConversionKind::Milliseconds: return Same(Format("%.1f ms", static_cast<double>(FloatFromUi(ui))));
    case ConversionKind::PerTenThousand:
    case ConversionKind::Byte: return NumberText(ui);
    case ConversionKind::Raw:
    case ConversionKind::None: break;
  }
  return FloatsText(words);
}

BilingualText CompressorText(std::span<const std::uint32_t> words) {
  if (words.size() != 7) return FloatsText(words);
  std::array<std::uint32_t, 7> record{};
  std::copy(words.begin(), words.end(), record.begin());
  const CompressorValues v = DecodeCompressorRecord(record);
  const auto text = [&](const char* format) {
    return Format(format, static_cast<double>(v.threshold), static_cast<double>(v.ratio),
                  static_cast<double>(v.attackMs), static_cast<double>(v.releaseMs));
  };
  return T(text("阈值 %.1f dB, 比率 %.1f, 启动时间 %.1f ms, 释放时间 %.1f ms"),
           text("threshold %.1f dB, ratio %.1f, attack %.1f ms, release %.1f ms"));
}

// The level a six-value record was built from, when the record is exactly what the
// builder makes of some level (first tried as stored, then at the steps the editors use).
std::optional<float> SixValueLevel(std::span<const std::uint32_t> words, SixValueBlock block) {
  if (words.size() != 6) return std::nullopt;
  const float d = BitsFloat(words[0]);
  if (!(d > 0.0f) || !std::isfinite(d)) return std::nullopt;
  const double level = 20.0 * std::log10(static_cast<double>(d));
  for (double step : {0.0, 0.01, 0.1, 1.0}) {
    const float candidate = static_cast<float>(step > 0.0 ? std::round(level / step) * step : level);
    const auto built = SixValueGainWords(candidate, block);
    if (std::equal(built.begin(), built.end(), words.begin())) return candidate;
  }
  return std::nullopt;
}

BilingualText SixValueText(std::span<const std::uint32_t> words, SixValueBlock block) {
  const std::optional<float> level = SixValueLevel(words, block);
  if (!level) return FloatsText(words);
  const std::string db = DbText(*level)[kTextEnglish];
  return T("电平 " + db, "level " + db);
}

BilingualText SplitMixText(std::span<const std::uint32_t> words) {
  if (words.size() == 2 && BitsFloat(words[0]) == 1.0f) {
    if (BitsFloat(words[1]) == 0.0f) return T("通道延时", "Channel delay");
    if (BitsFloat(words[1]) == 1.0f) return T("高频延时", "H.Freq Delay");
  }
  return FloatsText(words);
}

BilingualText ShiftFrequencyText(std::uint32_t word) {
  const double hz = static_cast<double>(BitsFloat(word)) * 48000.0 / kTwoPi;
  const int whole = SaturatingRound<int>(hz);
  if (whole > 0 && FloatBits(ShiftFrequencyIncrement(whole)) == word) return Same(Format("%d Hz", whole));
  return Same(Format("%.3f Hz", hz));
}

BilingualText LinearGainText(std::uint32_t word) {
  const float v = BitsFloat(word);
  if (!(v > 0.0f) || !std::isfinite(v)) return Same(Format("%g", static_cast<double>(v)));
  return DbText(static_cast<float>(20.0 * std::log10(static_cast<double>(v))));
}

BilingualText FilterTypeText(int type) {
  static const char* const kChinese[] = {"关闭", "参量", "低通", "高通", "低架", "高架"};
  if (type >= kFilterOff && type <= kFilterHighShelf) return T(kChinese[type], FilterTypeName(type));
  if (type <= kHighestFilterType) return T((type % 2 ? "分频高通" : "分频低通") + N(type), FilterTypeName(type));
  return T("类型" + N(type), "type " + N(type));
}

struct SsvcPart {
  int first, length;
  const char* zh;
  const char* en;
};

// Room, listener and the eight speaker places L, CEN, R, SBL, SUB, SBR, SL, SR.
constexpr SsvcPart kSsvcParts[] = {
    {0, 2, "房间", "room"},    {2, 2, "听众", "listener"}, {4, 2, "前置左", "L"},  {6, 2, "中置", "CEN"},
    {8, 2, "前置右", "R"},     {10, 2, "后环绕左", "SBL"}, {12, 2, "超低", "SUB"}, {14, 2, "后环绕右", "SBR"},
    {16, 2, "侧环绕左", "SL"}, {18, 2, "侧环绕右", "SR"},
};

std::string SsvcPartText(const SsvcPart& part, const std::uint8_t* record, int language) {
  const std::string name = language == kTextChinese ? part.zh : part.en;
  const std::uint8_t* p = record + part.first;
  if (part.first == 0) return name + Format(" %d x %d m", p[0], p[1]);
  return name + Format(" (%+.1f, %+.1f)", static_cast<double>(DecodeSignedTenths(p[0])),
                       static_cast<double>(DecodeSignedTenths(p[1])));
}

}  // namespace

SettingName RecordName(std::uint8_t block, std::uint8_t address) { return Describe(block, address).name; }

BilingualText EqName(int eq) {
  static const char* const kChinese[] = {"话筒A", "话筒B", "回声A", "回声B", "混响A", "混响B", "音乐"};
  if (!IsEqNumber(eq)) return T("均衡" + N(eq), "EQ " + N(eq));
  if (IsChannelEq(eq)) return T("通道" + N(eq - kEqCh1 + 1) + "均衡", "CH" + N(eq - kEqCh1 + 1) + " EQ");
  if (eq == kEqRecord) return T("录音均衡", "Record EQ");
  return T(std::string(kChinese[eq]) + "均衡", std::string(EqLayoutOf(eq).name) + " EQ");
}

SettingName BandName(int eq, int band) {
  SettingName name{EqName(eq), T("第" + N(band + 1) + "频段", "band " + N(band + 1))};
  // Slots the graph never shows: the band split's sections and the loudness dialog's filter.
  if (IsChannelEq(eq) && band == 13) name.item = T("分频高通", "band split high-pass");
  if (IsChannelEq(eq) && band == 14) name.item = T("分频低通", "band split low-pass");
  if (eq == kEqMusic && band == 10) name.item = T("响度滤波(音乐超级低音)", "loudness filter (Music Max Bass LPF)");
  return name;
}

SettingName LiveRecordName(int offset) {
  if (offset >= kSsvcLevelsOffset && offset < kSsvcSettingsOffset) {
    const int channel = (offset - kSsvcLevelsOffset) / 4 + 1;
    return {Location(), T("通道" + N(channel) + "位置电平", "CH" + N(channel) + " position level")};
  }
  if (offset == kSsvcSettingsOffset) return {Location(), T("房间和位置", "room and positions")};
  if (offset == kSubDecayLevelOffset) return {Features(), T("话筒低频增强电平", "Mic bass boost level")};
  if (offset == kSsvcLocateOffset) return {Location(), T("定位", "Locate")};
  return OtherBytesName(offset);
}

SettingName OtherBytesName(int offset) {
  if (offset >= kApplyCopySize && offset < kLiveBlockSize)
    return {Other(), T(Format("保留字节 %d..%d", kApplyCopySize, kLiveBlockSize - 1),
                       Format("reserved bytes %d..%d", kApplyCopySize, kLiveBlockSize - 1))};
  for (const DspRecordLayout& r : RecordLayout()) {
    if (r.offset != offset) continue;
    const SettingName record = RecordName(r.block, r.address);
    return {Other(), T(record.page[kTextChinese] + " / " + record.item[kTextChinese] + " 记录头",
                       record.page[kTextEnglish] + " / " + record.item[kTextEnglish] + " record header")};
  }
  return {Other(), T(Format("字节 %d", offset), Format("bytes at %d", offset))};
}

BilingualText RecordValueText(const DspRecordLayout& record, std::span<const std::uint8_t> values) {
  std::array<std::uint32_t, kMaxRecordValues> stored{};
  const std::size_t count = std::min({std::size_t(record.count), values.size() / 4, stored.size()});
  for (std::size_t i = 0; i < count; ++i) stored[i] = GetU32(&values[4 * i]);
  const std::span<const std::uint32_t> words(stored.data(), count);
  if (words.empty()) return Same(HexText(values));
  const Description d = Describe(record.block, record.address);
  const int lastByte = int(words[0] & 0xFF);
  switch (d.style) {
    case Style::ByKind: return ByKindText(record.kind, words);
    case Style::Switch: return SwitchText(lastByte, d.onValue);
    case Style::EchoType:
      if (lastByte == 0) return T("单声回声", "Mono");
      if (lastByte == 1) return T("双声回声", "Stereo");
      return NumberText(lastByte);
    case Style::Role: return RoleText(lastByte);
    case Style::Source:
      return lastByte < int(std::size(kSourceLabels)) ? Same(kSourceLabels[lastByte]) : NumberText(lastByte);
    case Style::Polarity: {
      const std::int32_t ui = WordToUiValue(ConversionKind::Percent, words[0]);
      if (ui == -100) return SwitchText(1, 1);
      if (ui == 100) return SwitchText(0, 1);
      return Same(Format("%d%%", ui));
    }
    case Style::SplitMix: return SplitMixText(words);
    case Style::Compressor: return CompressorText(words);
    case Style::MicSixValue: return SixValueText(words, SixValueBlock::Microphone);
    case Style::ChannelSixValue: return SixValueText(words, SixValueBlock::OutputChannel);
    case Style::ShiftFrequency: return ShiftFrequencyText(words[0]);
    case Style::LinearGain: return LinearGainText(words[0]);
    case Style::Pitch: return Same(Format("%+d", lastByte - 5));
    case Style::Integer: return NumberText(words[0]);
    case Style::Hz: return Same(Format("%g Hz", static_cast<double>(BitsFloat(words[0]))));
    case Style::Db: return DbText(BitsFloat(words[0]));
  }
  return FloatsText(words);
}

BilingualText BandValueText(std::span<const std::uint8_t> record) {
  if (record.size() < std::size_t(kBandRecordSize)) return Same(HexText(record));
  const BandRecord band = DecodeBandRecord(record.data());
  const BilingualText type = FilterTypeText(band.type);
  const std::string rest = Format(" %u Hz %+.1f dB Q %.3f", unsigned(band.frequency),
                                  static_cast<double>(band.GainDb()), static_cast<double>(band.Q()));
  return T(type[kTextChinese] + rest, type[kTextEnglish] + rest);
}

BilingualText LiveRecordValueText(int offset, std::span<const std::uint8_t> bytes) {
  const bool level = (offset >= kSsvcLevelsOffset && offset < kSsvcSettingsOffset) || offset == kSubDecayLevelOffset;
  if (level && bytes.size() == 4) return DbText(GetFloat(bytes.data()));
  if (offset == kSsvcLocateOffset && bytes.size() == 1) {
    if (bytes[0] == 8) return T("无", "none");
    return RoleText(bytes[0]);
  }
  return Same(HexText(bytes));
}

std::array<BilingualText, 2> SsvcSettingsTexts(std::span<const std::uint8_t> first,
                                               std::span<const std::uint8_t> second) {
  if (first.size() < std::size_t(kSsvcSettingsSize) || second.size() < std::size_t(kSsvcSettingsSize))
    return {Same(HexText(first)), Same(HexText(second))};
  const bool same = std::equal(first.begin(), first.end(), second.begin(), second.end());
  std::array<BilingualText, 2> texts;
  for (const SsvcPart& part : kSsvcParts) {
    const bool differs = !std::equal(&first[std::size_t(part.first)], &first[std::size_t(part.first + part.length)],
                                     &second[std::size_t(part.first)]);
    if (!differs && !same) continue;
    for (int side = 0; side < 2; ++side) {
      const std::uint8_t* record = side == 0 ? first.data() : second.data();
      for (int language : {kTextChinese, kTextEnglish}) {
        std::string& text = texts[std::size_t(side)][std::size_t(language)];
        text += (text.empty() ? "" : ", ") + SsvcPartText(part, record, language);
      }
    }
  }
  return texts;
}

std::string HexText(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (std::uint8_t b : bytes) text += (text.empty() ? "" : " ") + Format("%02X", b);
  return text;
}

}  // namespace dsptune
