#pragma once
// Checks on the files a command names, made before a device is opened: a typing error
// costs no device read, and each problem is named for what it is.
#include <optional>
#include <string>

#include "files/BoundedFileRead.h"
#include "model/ParameterImage.h"

namespace dsptune::cli {

// "" when the file is a regular file within `rule` (1 MiB at most unless told) that can
// be read; otherwise "PATH: " and what is wrong: "no such file", "is a folder, not a
// file", "is a FIFO, not a file", "cannot be read (Permission denied)", "is larger than
// 1 MiB", "is 31 bytes; a remote file is 30 bytes".
std::string InputFileProblem(const std::string& path, const FileSizeRule& rule = {});
// "" when a file may be written there: a new name, or an existing regular file (which is
// replaced). A device, FIFO or socket is never written over.
std::string OutputFileProblem(const std::string& path);
// "" when the folder exists and may be written in.
std::string OutputFolderProblem(const std::string& path);
// A mode file's image as stored (no model clamp: nothing is loaded), or nullopt with
// `problem` saying why it cannot be used.
std::optional<ParameterImageBytes> ReadModeSettings(const std::string& path, std::string& problem);

}  // namespace dsptune::cli
