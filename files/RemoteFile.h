#pragma once
// Remote data files ("*.remo"): the 30-byte learned remote code table, byte for byte,
// with no header or checksum, so a set of learned keys can move to another device.
// The file dialogs belong to the user interface; these routines take the chosen name.
#include <filesystem>
#include <string>

#include "files/BoundedFileRead.h"

namespace dsptune {

inline constexpr int kRemoteFileSize = 30;
// What a remote file may be: 1 to 30 bytes ("a remote file" in the messages). A shorter
// one is a table cut short that the user may still want; an empty or longer one is not a
// table at all.
inline constexpr FileSizeRule kRemoteFileRule{kRemoteFileSize, 1, "a remote file"};

// The name a remote file is stored under: the chosen name with its extension replaced
// by "remo" whatever was typed ("keys.txt" becomes "keys.remo").
std::filesystem::path WithRemoteExtension(const std::filesystem::path& chosen);

// Reads WithRemoteExtension(path) into the table (a shorter file leaves the rest
// unchanged) and sends the table to the device once. Returns 1, or -1 when the file cannot
// be read (a folder, FIFO or device is not a file) or breaks kRemoteFileRule (empty, or
// longer than the table), with *errorText (when given) set to ReadErrorText naming the
// cause, or "Can't read file:\n<path>\n" and FileReadProblem's text; nothing is sent and
// the table is unchanged then.
int LoadRemoteFile(const std::filesystem::path& path, std::string* errorText = nullptr);

// Writes the table as WithRemoteExtension(path). Returns 1, or -1 when the file cannot be
// written, with *errorText set to WriteErrorText; an existing file is then left as it was.
int SaveRemoteFile(const std::filesystem::path& path, std::string* errorText = nullptr);

// Command 0x63 followed by the 30 table bytes, synchronous.
void SendRemoteTable();

}  // namespace dsptune
