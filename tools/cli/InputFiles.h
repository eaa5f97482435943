#pragma once
// Checks on the files a command names, made before a device is opened: a typing error
// costs no device read, and each problem is named for what it is.
#include <optional>
#include <string>

#include "model/ParameterImage.h"

namespace dsptune::cli {

// "" when the file can be read; otherwise "PATH: no such file", "PATH: is a folder, not a
// file" or "PATH: cannot be read (Permission denied)".
std::string InputFileProblem(const std::string& path);
// "" when a file may be written there (an existing one is replaced).
std::string OutputFileProblem(const std::string& path);
// "" when the folder exists and may be written in.
std::string OutputFolderProblem(const std::string& path);
// A mode file's image as stored (no model clamp: nothing is loaded), or nullopt with
// `problem` saying why it cannot be used.
std::optional<ParameterImageBytes> ReadModeSettings(const std::string& path, std::string& problem);

}  // namespace dsptune::cli
