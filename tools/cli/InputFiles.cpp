#include "tools/cli/InputFiles.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

std::string InputFileProblem(const std::string& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return path + ": no such file";
  if (fs::is_directory(path, ec)) return path + ": is a folder, not a file";
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return path + ": cannot be read (" + std::strerror(errno) + ")";
  std::fclose(f);
  return {};
}

std::string OutputFileProblem(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return path + ": is a folder, not a file";
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
