// dsptune-cli show: the parameter set in readable, CSV, JSON or hex form.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "dsp/Biquad.h"
#include "files/ModeFile.h"
#include "model/BigEndian.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterRoles.h"
#include "model/SettingNames.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/Csv.h"
#include "tools/cli/InputFiles.h"

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

int ValueOffset(const ParameterEntry& e) {
  const DspRecordLayout* r = FindRecord(e.block, e.address);
  return r ? r->ValueOffset() : 0;
}

// What each listing shows of one parameter, one band or one derived record.
struct ParameterRow {
  const ParameterEntry* entry;
  std::string name, value, ui, hex;
};
struct BandRow {
  int eq, band;
  std::string eqName, name;
  BandRecord record;
};
struct RecordRow {
  std::string name;
  int offset, length;
  std::string value;
};

std::vector<ParameterRow> Parameters(const ParameterImageBytes& image) {
  std::vector<ParameterRow> rows;
  for (const ParameterEntry& e : ParameterTable()) {
    const DspRecordLayout* record = FindRecord(e.block, e.address);
    const int at = ValueOffset(e);
    const std::span<const std::uint8_t> values(&image[std::size_t(at)], std::size_t(4 * record->count));
    rows.push_back({&e, ParameterRole(e.block, e.address), RecordValueText(*record, values)[kTextEnglish], UiText(e),
                    HexBytes(image, at, 4 * e.count, "")});
  }
  return rows;
}

std::vector<BandRow> Bands(const LiveBlockBytes& live) {
  std::vector<BandRow> rows;
  for (int eq = 0; eq < kEqCount; ++eq)
    for (int b = 0; b < EqLayoutOf(eq).recordSlots; ++b) {
      const SettingName name = BandName(eq, b);
      rows.push_back({eq, b, name.page[kTextEnglish], name.item[kTextEnglish],
                      DecodeBandRecord(&live[std::size_t(EqBandOffset(eq, b))])});
    }
  return rows;
}

// The live block's settings records, derived from the room layout and the editors.
std::vector<RecordRow> Records(const LiveBlockBytes& live) {
  std::vector<RecordRow> rows;
  const auto add = [&](int offset, int length) {
    const SettingName name = LiveRecordName(offset);
    const std::span<const std::uint8_t> bytes(&live[std::size_t(offset)], std::size_t(length));
    const std::string value = offset == kSsvcSettingsOffset ? SsvcSettingsTexts(bytes, bytes)[0][kTextEnglish]
                                                            : LiveRecordValueText(offset, bytes)[kTextEnglish];
    rows.push_back({name.page[kTextEnglish] + " / " + name.item[kTextEnglish], offset, length, value});
  };
  for (int offset = kSsvcLevelsOffset; offset < kSsvcSettingsOffset; offset += 4) add(offset, 4);
  add(kSsvcSettingsOffset, kSsvcSettingsSize);
  add(kSubDecayLevelOffset, 4);
  add(kSsvcLocateOffset, 1);
  return rows;
}

std::string LiveHex(const LiveBlockBytes& live, int offset, int length) {
  return HexText(std::span<const std::uint8_t>(&live[std::size_t(offset)], std::size_t(length)));
}

void PrintHex(const ParameterImageBytes& image) {
  for (int offset = 0; offset < kImageSize; offset += 16) {
    const int n = std::min(16, kImageSize - offset);
    std::printf("%04X: %s\n", offset, HexBytes(image, offset, n, " ").c_str());
  }
}

void PrintCsv(const std::string& table, const ParameterImageBytes& image, const LiveBlockBytes& live) {
  if (table == "parameters") {
    std::printf("name,block,address,kind,value,ui_value,hex_bytes\n");
    for (const ParameterRow& r : Parameters(image))
      std::printf("%s,%d,0x%02X,%s,%s,%s,%s\n", CsvField(r.name).c_str(), r.entry->block, r.entry->address,
                  ConversionKindName(r.entry->kind), CsvField(r.value).c_str(), r.ui.c_str(), r.hex.c_str());
  } else if (table == "bands") {
    std::printf("eq,eq_name,band,name,type,freq_hz,gain_db,q\n");
    for (const BandRow& r : Bands(live))
      std::printf("%d,%s,%d,%s,%s,%u,%.1f,%.3f\n", r.eq, CsvField(r.eqName).c_str(), r.band + 1,
                  CsvField(r.name).c_str(), FilterTypeName(r.record.type), unsigned(r.record.frequency),
                  static_cast<double>(r.record.GainDb()), static_cast<double>(r.record.Q()));
  } else {
    std::printf("name,offset,value,hex_bytes\n");
    for (const RecordRow& r : Records(live))
      std::printf("%s,%d,%s,%s\n", CsvField(r.name).c_str(), r.offset, CsvField(r.value).c_str(),
                  LiveHex(live, r.offset, r.length).c_str());
  }
}

// The stored tenths of a dB and thousandths of Q, without single-precision tails.
double Rounded(float value, double steps) { return std::round(static_cast<double>(value) * steps) / steps; }

void PrintJson(const std::string& source, const ParameterImageBytes& image, const LiveBlockBytes& live) {
  using nlohmann::json;
  json parameters = json::array();
  for (const ParameterRow& r : Parameters(image)) {
    json p{{"name", r.name},   {"block", r.entry->block}, {"address", r.entry->address},
           {"kind", ConversionKindName(r.entry->kind)}, {"value", r.value}, {"hex", r.hex}};
    p["ui_value"] = r.ui.empty() ? json(nullptr) : json::parse(r.ui);
    parameters.push_back(std::move(p));
  }
  json bands = json::array();
  for (const BandRow& r : Bands(live))
    bands.push_back({{"eq", r.eq},
                     {"eq_name", r.eqName},
                     {"band", r.band + 1},
                     {"name", r.name},
                     {"type", FilterTypeName(r.record.type)},
                     {"type_code", r.record.type},
                     {"freq_hz", r.record.frequency},
                     {"gain_db", Rounded(r.record.GainDb(), 10)},
                     {"q", Rounded(r.record.Q(), 1000)}});
  json records = json::array();
  for (const RecordRow& r : Records(live))
    records.push_back({{"name", r.name}, {"offset", r.offset}, {"value", r.value}, {"hex", LiveHex(live, r.offset, r.length)}});
  const json all{{"source", source}, {"parameters", parameters}, {"bands", bands}, {"records", records}};
  std::printf("%s\n", all.dump(2).c_str());
}

void PrintReadable(const ParameterImageBytes& image, const LiveBlockBytes& live) {
  std::printf("Parameters (%d entries)\n", kParameterCount);
  std::printf("%-5s %-7s %-7s %-9s %-12s %s\n", "block", "address", "offset", "kind", "value", "name");
  for (const ParameterRow& r : Parameters(image)) {
    const ParameterEntry& e = *r.entry;
    std::string value = r.ui;
    if (value.empty()) value = HexBytes(image, ValueOffset(e), std::min(4 * e.count, 4), "") + (e.count > 1 ? "+" : "");
    std::printf("%-5d 0x%02X    %-7d %-9s %-12s %s\n", e.block, e.address, ValueOffset(e) - 3,
                ConversionKindName(e.kind), value.c_str(), r.name.c_str());
  }
  std::printf("\nEqualisers\n");
  for (int eq = 0; eq < kEqCount; ++eq) {
    const EqLayout& layout = EqLayoutOf(eq);
    std::printf("EQ %d %s (block %d, first address 0x%02X)\n", eq, layout.name, layout.coefficientBlock,
                layout.firstAddress);
    for (int b = 0; b < layout.recordSlots; ++b) {
      const BandRecord r = DecodeBandRecord(&live[std::size_t(EqBandOffset(eq, b))]);
      // Named as the CSV, JSON and diff name them: "band 1" up, and the slots the graph
      // does not list (the band split's sections, the loudness filter) by what they are.
      std::printf("  %-21s %5u Hz  %+5.1f dB  Q %6.3f  %s\n", BandName(eq, b).item[kTextEnglish].c_str(), r.frequency,
                  static_cast<double>(r.GainDb()), static_cast<double>(r.Q()), FilterTypeName(r.type));
    }
  }
  std::printf("\nDerived records\n");
  for (const RecordRow& r : Records(live)) std::printf("  %-40s %s\n", r.name.c_str(), r.value.c_str());
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
  const auto parsed = ParseArgs("show", args, {{"--csv"}, {"--hex"}, {"--json"}, {"--table", true}});
  if (!parsed) return 2;
  if (const std::string conflict = Conflict(*parsed, {"--csv", "--hex", "--json"}); !conflict.empty())
    return UsageError("show: " + conflict);
  if (parsed->positional.size() > 1) return UsageError("show: one mode file at most");
  std::string table = "parameters";
  if (parsed->Has("--table")) {
    if (!parsed->Has("--csv")) return UsageError("show: --table goes with --csv");
    table = parsed->Value("--table");
    if (table != "parameters" && table != "bands" && table != "records")
      return UsageError("show: --table must be parameters, bands or records, not '" + table + "'");
  }
  const std::string file = parsed->positional.empty() ? "" : parsed->positional[0];
  LoadDefaultImage();
  if (const std::string problem = file.empty() ? "" : InputFileProblem(file); !problem.empty()) {
    std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
    return 1;
  }
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
  if (parsed->Has("--hex")) PrintHex(image);
  else if (parsed->Has("--csv")) PrintCsv(table, image, live);
  else if (parsed->Has("--json")) PrintJson(file.empty() ? "defaults" : file, image, live);
  else PrintReadable(image, live);
  return 0;
}

}  // namespace dsptune::cli
