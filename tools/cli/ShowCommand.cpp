// dsptune-cli show: the parameter set in readable, CSV or hex form.
#include <cstdio>
#include <string>

#include "dsp/Biquad.h"
#include "files/ModeFile.h"
#include "model/BigEndian.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterRoles.h"
#include "tools/cli/CliCommands.h"

namespace dsptune::cli {
namespace {

std::string UiText(const ParameterEntry& e) {
  if (e.kind == ConversionKind::None || e.uiSlot < 0) return "";
  const std::int32_t ui = UiValue(e.block, e.address);
  char text[32];
  if (e.kind == ConversionKind::Raw || e.kind == ConversionKind::Milliseconds)
    std::snprintf(text, sizeof text, "%g", static_cast<double>(FloatFromUi(ui)));
  else
    std::snprintf(text, sizeof text, "%d", ui);
  return text;
}

std::string HexBytes(const ParameterImageBytes& image, int offset, int count, const char* separator) {
  std::string out;
  char byte[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(byte, sizeof byte, "%02X", image[std::size_t(offset + i)]);
    if (i) out += separator;
    out += byte;
  }
  return out;
}

void PrintHex(const ParameterImageBytes& image) {
  for (int offset = 0; offset < kImageSize; offset += 16) {
    const int n = std::min(16, kImageSize - offset);
    std::printf("%04X: %s\n", offset, HexBytes(image, offset, n, " ").c_str());
  }
}

int ValueOffset(const ParameterEntry& e) {
  const DspRecordLayout* r = FindRecord(e.block, e.address);
  return r ? r->ValueOffset() : 0;
}

void PrintCsv(const ParameterImageBytes& image, const LiveBlockBytes& live) {
  std::printf("block,address,kind,ui_value,hex_bytes\n");
  for (const ParameterEntry& e : ParameterTable())
    std::printf("%d,0x%02X,%s,%s,%s\n", e.block, e.address, ConversionKindName(e.kind), UiText(e).c_str(),
                HexBytes(image, ValueOffset(e), 4 * e.count, "").c_str());
  std::printf("eq,band,freq_hz,gain_db,q,type\n");
  for (int eq = 0; eq < kEqCount; ++eq) {
    for (int b = 0; b < EqLayoutOf(eq).recordSlots; ++b) {
      const BandRecord r = DecodeBandRecord(&live[std::size_t(EqBandOffset(eq, b))]);
      std::printf("%d,%d,%u,%.1f,%.3f,%u\n", eq, b, r.frequency, static_cast<double>(r.GainDb()),
                  static_cast<double>(r.Q()), r.type);
    }
  }
}

void PrintReadable(const ParameterImageBytes& image, const LiveBlockBytes& live) {
  std::printf("Parameters (%d entries)\n", kParameterCount);
  std::printf("%-5s %-7s %-7s %-9s %-12s %s\n", "block", "address", "offset", "kind", "value", "role");
  for (const ParameterEntry& e : ParameterTable()) {
    std::string value = UiText(e);
    if (value.empty()) value = HexBytes(image, ValueOffset(e), std::min(4 * e.count, 4), "") + (e.count > 1 ? "+" : "");
    std::printf("%-5d 0x%02X    %-7d %-9s %-12s %s\n", e.block, e.address, ValueOffset(e) - 3,
                ConversionKindName(e.kind), value.c_str(), ParameterRole(e.block, e.address).c_str());
  }
  std::printf("\nEqualisers\n");
  for (int eq = 0; eq < kEqCount; ++eq) {
    const EqLayout& layout = EqLayoutOf(eq);
    std::printf("EQ %d %s (block %d, first address 0x%02X)\n", eq, layout.name, layout.coefficientBlock,
                layout.firstAddress);
    for (int b = 0; b < layout.recordSlots; ++b) {
      const BandRecord r = DecodeBandRecord(&live[std::size_t(EqBandOffset(eq, b))]);
      std::printf("  band %2d  %5u Hz  %+5.1f dB  Q %6.3f  %s\n", b, r.frequency, static_cast<double>(r.GainDb()),
                  static_cast<double>(r.Q()), FilterTypeName(r.type));
    }
  }
  const EditorValues ev = EditorSnapshot();
  std::printf("\nSSVC settings record (offset %d): %s\n", kSsvcSettingsOffset,
              HexBytes(image, kSsvcSettingsOffset, kSsvcSettingsSize, " ").c_str());
  std::printf("  room %d x %d m, listener (%.1f, %.1f)\n", ev.ssvc.roomWidth, ev.ssvc.roomLength,
              static_cast<double>(ev.ssvc.listenerX), static_cast<double>(ev.ssvc.listenerY));
  static const char* kPlaces[] = {"L", "CEN", "R", "SBL", "SUB", "SBR", "SL", "SR"};
  for (std::size_t s = 0; s < 8; ++s)
    std::printf("  %-3s (%+.1f, %+.1f)\n", kPlaces[s], static_cast<double>(ev.ssvc.speakers[s][0]),
                static_cast<double>(ev.ssvc.speakers[s][1]));
}

}  // namespace

int RunShow(const Args& args) {
  enum class Form { Readable, Csv, Hex } form = Form::Readable;
  std::string file;
  for (const std::string& a : args) {
    if (a == "--csv") form = Form::Csv;
    else if (a == "--hex") form = Form::Hex;
    else if (!a.empty() && a[0] != '-' && file.empty()) file = a;
    else return UsageError("show: unknown argument '" + a + "'");
  }
  LoadDefaultImage();
  if (!file.empty()) {
    // Shown as stored: no model clamp, since no device is connected.
    std::string error;
    ParameterImageBytes fileImage;
    if (ReadModeFileImage(file, fileImage, &error) != 1) {
      std::fprintf(stderr, "dsptune-cli: %s: %s\n", file.c_str(),
                   error.empty() ? std::string(kModeVersionText).c_str() : error.c_str());
      return 1;
    }
    ReplaceImage(fileImage);
    ApplyImage();
  }
  const ParameterImageBytes image = ImageSnapshot();
  const LiveBlockBytes live = LiveBlockSnapshot();
  switch (form) {
    case Form::Hex: PrintHex(image); break;
    case Form::Csv: PrintCsv(image, live); break;
    case Form::Readable: PrintReadable(image, live); break;
  }
  return 0;
}

}  // namespace dsptune::cli
