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
#include "model/ParameterLimits.h"
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
  std::string note;  // a value the window could not have set: "outside 0..100%"
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
    // Files are shown as stored; what no control could have set is marked, not changed.
    const std::string note = LimitsOf(e) ? StoredValueNote(e, WordToUiValue(e.kind, GetU32(values.data()))) : "";
    rows.push_back({&e, ParameterRole(e.block, e.address), RecordValueText(*record, values)[kTextEnglish], UiText(e),
                    HexBytes(image, at, 4 * e.count, ""), note});
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

// The length of the well-formed UTF-8 sequence at text[i], or 0 when there is none.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return k < text.size() ? std::uint8_t(text[k]) : std::uint8_t(0); };
  const auto tail = [&](std::size_t k, std::uint8_t low = 0x80, std::uint8_t high = 0xBF) {
    return byte(k) >= low && byte(k) <= high;
  };
  const std::uint8_t b = byte(i);
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return tail(i + 1) ? 2 : 0;
  if (b >= 0xE0 && b <= 0xEF) {
    const std::uint8_t low = b == 0xE0 ? 0xA0 : 0x80, high = b == 0xED ? 0x9F : 0xBF;
    return tail(i + 1, low, high) && tail(i + 2) ? 3 : 0;
  }
  if (b >= 0xF0 && b <= 0xF4) {
    const std::uint8_t low = b == 0xF0 ? 0x90 : 0x80, high = b == 0xF4 ? 0x8F : 0xBF;
    return tail(i + 1, low, high) && tail(i + 2) && tail(i + 3) ? 4 : 0;
  }
  return 0;
}

// Texts come from the file's bytes and need not be UTF-8, which is all JSON carries: a
// byte that is not part of a well-formed sequence stands for itself as U+0000..U+00FF
// (0xFF becomes "\u00ff", written as its UTF-8 form), so no byte is lost.
std::string JsonText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t n = Utf8SequenceAt(text, i); n != 0) {
      out.append(text, i, n);
      i += n;
      continue;
    }
    const std::uint8_t b = std::uint8_t(text[i++]);
    out += char(0xC0 | (b >> 6));
    out += char(0x80 | (b & 0x3F));
  }
  return out;
}

void MakeTextsValid(nlohmann::json& value) {
  if (value.is_string()) value = JsonText(value.get<std::string>());
  else if (value.is_structured())
    for (auto& item : value) MakeTextsValid(item);
}

void PrintJson(const std::string& source, const ParameterImageBytes& image, const LiveBlockBytes& live) {
  using nlohmann::json;
  json parameters = json::array();
  for (const ParameterRow& r : Parameters(image)) {
    json p{{"name", r.name},   {"block", r.entry->block}, {"address", r.entry->address},
           {"kind", ConversionKindName(r.entry->kind)}, {"value", r.value}, {"hex", r.hex}};
    // A float that is NaN or infinite has no JSON number: null, and its stored bytes.
    const json ui = r.ui.empty() ? json(nullptr) : json::parse(r.ui, nullptr, false);
    p["ui_value"] = ui.is_number() && std::isfinite(ui.get<double>()) ? ui : json(nullptr);
    if (!r.ui.empty() && p["ui_value"].is_null()) p["ui_raw"] = r.hex.substr(0, 8);
    if (!r.note.empty()) p["note"] = r.note;
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
  json all{{"source", source}, {"parameters", parameters}, {"bands", bands}, {"records", records}};
  MakeTextsValid(all);
  std::printf("%s\n", all.dump(2).c_str());
}

void PrintReadable(const ParameterImageBytes& image, const LiveBlockBytes& live) {
  std::printf("Parameters (%d entries)\n", kParameterCount);
  std::printf("%-5s %-7s %-7s %-9s %-12s %s\n", "block", "address", "offset", "kind", "value", "name");
  for (const ParameterRow& r : Parameters(image)) {
    const ParameterEntry& e = *r.entry;
    std::string value = r.ui;
    if (value.empty()) value = HexBytes(image, ValueOffset(e), std::min(4 * e.count, 4), "") + (e.count > 1 ? "+" : "");
    std::printf("%-5d 0x%02X    %-7d %-9s %-12s %s%s\n", e.block, e.address, ValueOffset(e) - 3,
                ConversionKindName(e.kind), value.c_str(), r.name.c_str(),
                r.note.empty() ? "" : ("  (" + r.note + ")").c_str());
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
