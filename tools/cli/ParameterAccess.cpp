#include "tools/cli/ParameterAccess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "editors/model/EffectParameters.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/ParameterImage.h"
#include "model/ParameterLimits.h"
#include "model/ParameterRoles.h"
#include "model/SettingNames.h"
#include "tools/cli/DeviceSession.h"
#include "tools/cli/ExitStatus.h"

namespace dsptune::cli {
namespace {

// Lower case (ASCII), runs of spaces as one, none around '/': the form names are compared in.
std::string Folded(std::string_view text) {
  std::string out;
  for (char c : text) {
    const bool space = c == ' ' || c == '\t';
    if (space) {
      if (!out.empty() && out.back() != ' ' && out.back() != '/') out += ' ';
      continue;
    }
    if (c == '/' && !out.empty() && out.back() == ' ') out.pop_back();
    out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string ChineseName(const ParameterEntry& entry) {
  const SettingName name = RecordName(entry.block, entry.address);
  return name.page[kTextChinese] + " / " + name.item[kTextChinese];
}

BilingualText ShownFor(const ParameterEntry& entry, std::uint32_t word) {
  std::array<std::uint8_t, 4> bytes{};
  PutU32(bytes.data(), word);
  return RecordValueText(*FindRecord(entry.block, entry.address), bytes);
}

// The effect rows of the mic and music page write some parameters in pairs (the reverb
// time and its copy); a parameter one of them edits is set through it, as the window
// sets it.
struct EffectControl {
  int row = 0, half = 0;
  const EffectRow* info = nullptr;
};

std::optional<EffectControl> EffectControlOf(const ParameterEntry& entry) {
  for (int row = 0; row < kEffectRowCount; ++row) {
    const EffectRow* r = EffectRowAt(row);
    if (!r || r->format == EffectFormat::kShiftFrequency || r->block != entry.block) continue;
    for (int half : {kEffectHalfA, kEffectHalfB})
      if (r->address[std::size_t(half)] == entry.address) return EffectControl{row, half, r};
  }
  return std::nullopt;
}

// The row's value for a UI value: whole milliseconds for the time rows, the UI value for
// the others.
double EffectValue(const EffectControl& control, std::int32_t ui) {
  return control.info->asFloat ? static_cast<double>(FloatFromUi(ui)) : double(ui);
}

// The entries an assignment writes: its own, and the reverb time's copy with the time.
std::vector<const ParameterEntry*> WrittenEntries(const ParameterEntry& entry) {
  std::vector<const ParameterEntry*> written{&entry};
  if (const auto control = EffectControlOf(entry); control && control->info->pairedAddress)
    if (const ParameterEntry* copy = FindParameter(entry.block, std::uint8_t(entry.address + 1))) written.push_back(copy);
  return written;
}

}  // namespace

std::string ParameterName(const ParameterEntry& entry) { return ParameterRole(entry.block, entry.address); }

std::optional<NamedParameter> FindNamedParameter(std::string_view name, std::string& problem) {
  const std::string wanted = Folded(name);
  for (const ParameterEntry& e : ParameterTable())
    if (Folded(ParameterName(e)) == wanted || Folded(ChineseName(e)) == wanted) return NamedParameter{&e, ParameterName(e)};
  // Near matches: names that contain what was typed, then names a few edits away.
  std::vector<std::pair<std::size_t, std::string>> near;
  for (const ParameterEntry& e : ParameterTable()) {
    const std::string candidate = ParameterName(e);
    const std::string folded = Folded(candidate);
    const std::size_t item = folded.find('/');
    const std::size_t distance = std::min(EditDistance(wanted, folded),
                                          EditDistance(wanted, item == std::string::npos ? folded : folded.substr(item + 1)));
    if (folded.find(wanted) != std::string::npos) near.emplace_back(0, candidate);
    else if (distance <= std::max<std::size_t>(2, wanted.size() / 4)) near.emplace_back(distance, candidate);
  }
  std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  problem = "no parameter is called '" + std::string(name) + "'";
  if (near.empty()) return problem += " (dsptune-cli show lists the names)", std::nullopt;
  problem += "; near matches:";
  for (std::size_t i = 0; i < near.size() && i < 6; ++i) problem += (i ? ", \"" : " \"") + near[i].second + "\"";
  if (near.size() > 6) problem += " and " + std::to_string(near.size() - 6) + " more";
  return std::nullopt;
}

std::string ParameterValueText(const ParameterEntry& entry) {
  const DspRecordLayout* record = FindRecord(entry.block, entry.address);
  const std::vector<std::uint8_t> bytes = ReadImageBytes(record->ValueOffset(), 4 * record->count);
  return RecordValueText(*record, bytes)[kTextEnglish];
}

std::optional<ParameterAssignment> ParseAssignment(std::string_view text, std::string& problem) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    problem = "'" + std::string(text) + "' is not NAME=VALUE";
    return std::nullopt;
  }
  const auto parameter = FindNamedParameter(text.substr(0, equals), problem);
  if (!parameter) return std::nullopt;
  const ParameterEntry& entry = *parameter->entry;
  if (!LimitsOf(entry)) {
    problem = "\"" + parameter->name + "\" is computed from other settings and cannot be set alone";
    return std::nullopt;
  }
  const CheckedValue value = ValidateParameterText(entry, text.substr(equals + 1));
  if (!value) {
    problem = value.problem;
    return std::nullopt;
  }
  return ParameterAssignment{*parameter, value.uiValue, ShownFor(entry, UiValueToWord(entry.kind, value.uiValue))[kTextEnglish]};
}

std::optional<std::vector<ParameterAssignment>> ParseAssignments(const std::vector<std::string>& texts,
                                                                 std::string& problem) {
  std::vector<ParameterAssignment> assignments;
  for (const std::string& text : texts) {
    auto assignment = ParseAssignment(text, problem);
    if (!assignment) return std::nullopt;
    // Two writes to one parameter would leave the device holding only the last, and the
    // read-back would then call the first one refused.
    for (const ParameterEntry* mine : WrittenEntries(*assignment->parameter.entry))
      for (const ParameterAssignment& earlier : assignments)
        for (const ParameterEntry* theirs : WrittenEntries(*earlier.parameter.entry))
          if (mine == theirs) {
            problem = "\"" + ParameterName(*mine) + "\" is given twice";
            if (earlier.parameter.entry != assignment->parameter.entry)
              problem += " (\"" + earlier.parameter.name + "\" and \"" + assignment->parameter.name + "\" both set it)";
            return std::nullopt;
          }
    assignments.push_back(std::move(*assignment));
  }
  return assignments;
}

int PrintParameters(const std::vector<NamedParameter>& parameters) {
  for (const NamedParameter& p : parameters)
    std::printf("%s = %s\n", p.name.c_str(), ParameterValueText(*p.entry).c_str());
  return kExitSuccess;
}

int WriteParameters(DeviceSession& session, const std::vector<ParameterAssignment>& assignments) {
  for (const ParameterAssignment& a : assignments) {
    const ParameterEntry& e = *a.parameter.entry;
    if (const auto control = EffectControlOf(e))
      WriteEffectValue(control->row, control->half, int(EffectValue(*control, a.uiValue)));
    else
      SetParameter(e.block, e.address, a.uiValue);
  }
  // Edits wait on the network send queue; the read that confirms them must come after.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (NetworkQueueLength() > 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::string summary;
  for (const ParameterAssignment& a : assignments)
    summary += (summary.empty() ? "" : "; ") + a.parameter.name + " = " + a.shown;
  if (const int status = session.ConfirmByReading(summary); status != 0) return status;
  for (const ParameterAssignment& a : assignments) {
    const ParameterEntry& e = *a.parameter.entry;
    const std::vector<std::uint8_t> held = ReadImageBytes(e.valueOffset, 4);
    if (GetU32(held.data()) != UiValueToWord(e.kind, a.uiValue)) {
      std::fprintf(stderr, "dsptune-cli: the device did not take %s = %s (it holds %s)\n", a.parameter.name.c_str(),
                   a.shown.c_str(), ParameterValueText(e).c_str());
      return kExitFailure;
    }
  }
  std::fprintf(stderr, "set %zu parameter%s on the device: %s\n", assignments.size(),
               assignments.size() == 1 ? "" : "s", summary.c_str());
  return kExitSuccess;
}

}  // namespace dsptune::cli
