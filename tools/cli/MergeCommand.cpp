// dsptune-cli merge: three mode files brought together item by item, as the window does
// after a reconnect: the edits of MINE and the changes of THEIRS since BASE both kept.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "model/SettingsMerge.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/InputFiles.h"

namespace dsptune::cli {
namespace {

constexpr const char* kUsage = "merge: usage: merge BASE.mode MINE.mode THEIRS.mode -o OUT.mode [--prefer mine|theirs]";

// "<page> / <item>: <base> -> mine <mine>, theirs <theirs>", with diff's names.
std::string ConflictLine(const MergeItem& m) {
  const std::size_t i = kTextEnglish;
  return m.item.page[i] + " / " + m.item.item[i] + ": " + m.base[i] + " -> mine " + m.item.second[i] + ", theirs " +
         m.item.first[i];
}

// Puts the first 60 bytes of a file that ReadModeSettings accepted, its identity header,
// at the start of `file`.
bool CopyHeader(const std::string& path, std::vector<std::uint8_t>& file) {
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(file.data()), kModeFileHeaderSize);
  return in.gcount() == kModeFileHeaderSize;
}

int Count(const SettingsMerge& merge, MergeKind kind) {
  int n = 0;
  for (const MergeItem& m : merge.items) n += m.kind == kind;
  return n;
}

}  // namespace

int RunMerge(const Args& args) {
  const auto parsed = ParseArgs("merge", args, {{"-o", true}, {"--prefer", true}});
  if (!parsed) return kExitUsage;
  const std::vector<std::string>& files = parsed->positional;
  if (files.size() != 3 || !parsed->Has("-o") || parsed->Value("-o").empty()) return UsageError(kUsage);
  std::optional<MergeSide> prefer;
  if (parsed->Has("--prefer")) {
    const std::string value = parsed->Value("--prefer");
    if (value != "mine" && value != "theirs") return UsageError("merge: --prefer needs mine or theirs");
    prefer = value == "mine" ? MergeSide::Mine : MergeSide::Device;
  }
  const std::string out = parsed->Value("-o");

  ParameterImageBytes settings[3]{};
  for (std::size_t f = 0; f < 3; ++f) {
    std::string problem;
    const std::optional<ParameterImageBytes> image = ReadModeSettings(files[f], problem);
    if (!image) return UsageError(problem);
    settings[f] = *image;
  }
  std::vector<std::uint8_t> bytes(kModeFileSize);
  if (!CopyHeader(files[1], bytes)) return UsageError(files[1] + ": cannot be read");
  if (const std::string problem = OutputFileProblem(out); !problem.empty()) {
    std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
    return kExitFailure;
  }

  SettingsMerge merge = MergeSettings(settings[0], settings[1], settings[2]);
  const int conflicts = Count(merge, MergeKind::Conflict);
  if (conflicts > 0 && !prefer) {
    for (const MergeItem& m : merge.items)
      if (m.kind == MergeKind::Conflict) std::printf("%s\n", ConflictLine(m).c_str());
    std::fprintf(stderr, "dsptune-cli: merge: %d %s, nothing written (--prefer mine|theirs decides them)\n",
                 conflicts, conflicts == 1 ? "conflict" : "conflicts");
    return kExitFailure;
  }
  if (prefer) ChooseForKind(merge, MergeKind::Conflict, *prefer);

  const ParameterImageBytes merged = MergedSettings(merge);
  std::copy(merged.begin(), merged.end(), bytes.begin() + kModeFileHeaderSize);
  if (const int error = ReplaceFileContents(out, bytes); error != 0) {
    std::fprintf(stderr, "dsptune-cli: %s\n", WriteErrorText(error, out).c_str());
    return kExitFailure;
  }
  const int mineEdits = Count(merge, MergeKind::UserEdit), theirChanges = Count(merge, MergeKind::DeviceChange);
  std::fprintf(stderr, "merged: %d %s of mine, %d %s of theirs", mineEdits, mineEdits == 1 ? "edit" : "edits",
               theirChanges, theirChanges == 1 ? "change" : "changes");
  if (conflicts > 0)
    std::fprintf(stderr, "; %d %s as %s", conflicts, conflicts == 1 ? "conflict" : "conflicts",
                 *prefer == MergeSide::Mine ? "mine" : "theirs");
  std::fprintf(stderr, "; saved %s\n", out.c_str());
  return kExitSuccess;
}

}  // namespace dsptune::cli
