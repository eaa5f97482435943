#include "tools/cli/InputFiles.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "files/ModeFile.h"

namespace dsptune::cli {
namespace {

namespace fs = std::filesystem;

std::string FolderProblem(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return folder.string() + ": no such folder";
  if (::access(folder.c_str(), W_OK) != 0) return folder.string() + ": cannot write there (" + std::strerror(errno) + ")";
  return {};
}

}  // namespace

std::string InputFileProblem(const std::string& path, const FileSizeRule& rule) {
  const std::string problem = FileReadProblem(ReadBoundedFile(path, rule), rule);
  return problem.empty() ? problem : path + ": " + problem;
}

std::string OutputFileProblem(const std::string& path) {
  if (path.empty()) return "no file name given";
  if (const std::string kind = NonRegularKind(path); !kind.empty())
    return path + ": is " + kind + ", not a file; nothing is written there";
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  return FolderProblem(folder);
}

std::string OutputFolderProblem(const std::string& path) { return FolderProblem(path.empty() ? "." : path); }

std::optional<ParameterImageBytes> ReadModeSettings(const std::string& path, std::string& problem) {
  problem = InputFileProblem(path);
  if (!problem.empty()) return std::nullopt;
  ParameterImageBytes image{};
  std::string error;
  if (ReadModeFileImage(path, image, &error) == 1) return image;
  problem = path + ": " + (error.empty() ? std::string(kModeVersionText) : "cannot be read");
  return std::nullopt;
}

}  // namespace dsptune::cli
