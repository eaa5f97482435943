#include "model/ParameterRoles.h"

namespace dsptune {
namespace {

std::string N(const char* prefix, int n, const char* suffix) {
  return std::string(prefix) + std::to_string(n) + suffix;
}

std::string MicrophoneRole(int a) {
  if (a >= 0x04 && a <= 0x07) return N("microphone ", a - 0x03, " input volume");
  if (a >= 0x08 && a <= 0x0B) return N("microphone ", a - 0x07, " noise-gate threshold");
  switch (a) {
    case 0x0C: return "loudness switch";
    case 0x0D: return "loudness level";
    case 0x0E: return "microphone master volume";
    case 0x0F: return "microphone mute gain";
    case 0x10: return "effect master volume";
    case 0x11: return "effect mute gain";
  }
  const bool pathA = a < 0x3C;
  const int base = pathA ? 0x21 : 0x3C;
  const std::string path = pathA ? "path A " : "path B ";
  const int r = a - base;
  if (r == 0) return path + "(Mic " + (pathA ? "A" : "B") + " EQ) bypass";
  if (r >= 1 && r <= 4) return N("microphone ", r, (" to " + path + "gain").c_str());
  switch (r) {
    case 5: return path + "shift frequency";
    case 6: return path + "shift-frequency delay";
    case 7: return path + "shift frequency off";
    case 8:
    case 9: return path + "subwoofer-decay gain";
    case 10: return path + "loudness switch";
    case 11: return path + "six-value gain record";
  }
  return "";
}

std::string EffectRole(const char* effect, int a, int half, bool echo) {
  const std::string side = std::string(effect) + (half ? " B " : " A ");
  const int r = a - half * (echo ? 14 : 12);
  if (r == 0x07) return side + "EQ bypass";
  if (echo) {
    switch (r) {
      case 0x08: return side + "switch";
      case 0x09: return side + "level";
      case 0x0A: return side + "predelay";
      case 0x0B: return side + "time";
      case 0x0C: return side + "start volume";
      case 0x0D: return side + "volume decay";
    }
  } else {
    switch (r) {
      case 0x08: return side + "level";
      case 0x09: return side + "predelay";
      case 0x0A:
      case 0x0B: return side + "time";
    }
  }
  return "";
}

std::string MusicRole(int a) {
  if (a >= 0x18 && a <= 0x25) return N("input gain of source ", a - 0x18, "");
  switch (a) {
    case 0x0B: return "Music EQ bypass";
    case 0x0C: return "music master volume";
    case 0x0D: return "music mute gain";
    case 0x0E: return "music compressor";
    case 0x0F: return "loudness switch";
    case 0x10: return "reserved integer";
    case 0x11: return "reserved level";
    case 0x15: return "music pitch + 5";
    case 0x16: return "music noise-gate threshold";
    case 0x17: return "input source";
    case 0x27: return "loudness time";
    case 0x28: return "loudness level";
  }
  return "";
}

std::string ChannelRole(int channel, int a) {
  const std::string ch = N("CH", channel, " ");
  if (a >= 0x14 && a <= 0x17) return ch + N("mix level ", a - 0x13, "");
  switch (a) {
    case 0x0F: return ch + "EQ bypass";
    case 0x10: return ch + "source selection";
    case 0x11: return ch + "band-split mix pair";
    case 0x12: return ch + "delay";
    case 0x13: return ch + "output switch";
    case 0x18: return ch + "SSVC level";
    case 0x19: return ch + "polarity";
    case 0x1A: return ch + "mute gain";
    case 0x1B: return ch + "limiter";
    case 0x1C: return ch + "second output switch";
    case 0x1D: return ch + "six-value gain record";
  }
  return "";
}

std::string RecordOutputRole(int a) {
  if (a >= 0x06 && a <= 0x09) return N("record mix level ", a - 0x05, "");
  switch (a) {
    case 0x05: return "Record EQ bypass";
    case 0x0A: return "record limiter";
    case 0x0B: return "record switch";
    case 0x0C: return "record level";
  }
  return "";
}

std::string LoudnessRole(int a) {
  static const char* kRoles[] = {"loudness frequency 1", "loudness gain 1", "loudness frequency 2",
                                 "loudness gain 2",      "loudness frequency 3", "loudness gain 3",
                                 "loudness amount",      "loudness level 1", "loudness level 2",
                                 "loudness level 3",     "loudness switch 1", "loudness switch 2"};
  return a >= 0 && a < 12 ? kRoles[a] : "";
}

}  // namespace

std::string ParameterRole(std::uint8_t block, std::uint8_t address) {
  const int a = address;
  switch (block) {
    case 1: return MicrophoneRole(a);
    case 2:
      if (a == 0x1C) return "echo master volume";
      if (a == 0x1D) return "echo mute gain";
      return EffectRole("echo", a, a >= 0x15 ? 1 : 0, true);
    case 3:
      if (a == 0x18) return "reverb master volume";
      if (a == 0x19) return "reverb mute gain";
      return EffectRole("reverb", a, a >= 0x13 ? 1 : 0, false);
    case 4: return MusicRole(a);
    case 13: return RecordOutputRole(a);
    case 14: return LoudnessRole(a);
    default:
      if (block >= 5 && block <= 12) return ChannelRole(block - 4, a);
  }
  return "";
}

const char* ConversionKindName(ConversionKind kind) {
  switch (kind) {
    case ConversionKind::None: return "none";
    case ConversionKind::Percent: return "percent";
    case ConversionKind::Raw: return "raw";
    case ConversionKind::Byte: return "byte";
    case ConversionKind::Milliseconds: return "ms";
    case ConversionKind::PerTenThousand: return "per10000";
  }
  return "?";
}

}  // namespace dsptune
