#pragma once
// Mode files ("*.mode"): a whole device setting on disk. 3578 bytes, no padding:
//
//   offset  size  field
//        0     4  protocol code, 32-bit little-endian (20 for every file that loads)
//        4    32  model name, ASCII, zero-padded
//       36    11  MCU version text, ASCII, zero-padded
//       47    11  DSP version text, ASCII, zero-padded
//       58     2  spare, zero
//       60  3518  parameter image, byte for byte (big-endian values inside)
//
// The header is the device identity as the program holds it, so a file saved from a
// device carries that device's name and versions. Loading tests only the protocol code.
//
// The user interface shows the message boxes; these routines return the texts.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "model/DeviceIdentity.h"
#include "model/ParameterImage.h"

namespace dsptune {

inline constexpr int kModeFileHeaderSize = 60;
inline constexpr int kModeFileSize = 3578;

// Message-box texts around mode and remote files.
inline constexpr std::string_view kCantWriteTitle = "Can't write to file";
inline constexpr std::string_view kModeVersionTitle = "Info";
inline constexpr std::string_view kModeVersionText = "Mode file version not support!";
// "Errcode=%d,Can't write to file:\n%s\nProbaby it is write protected."
std::string WriteErrorText(int errorNumber, const std::filesystem::path& path);
// "Can't write to file:\n%s\nProbaby it is write protected."
std::string OpenErrorText(const std::filesystem::path& path);
// A file that cannot be read, named for what is wrong with it:
// "Errcode=2,Can't read file:\n%s\nNo such file or directory".
std::string ReadErrorText(int errorNumber, const std::filesystem::path& path);

// Commits the live block into the image, then writes the identity header and the image.
// Returns 1 on success. Returns 0 when the file cannot be written, with *errorText (when
// given) set to WriteErrorText. The file is written beside the target under a temporary
// name and renamed over it, so a failed save leaves an existing file as it was.
int SaveModeFile(const std::filesystem::path& path, std::string* errorText = nullptr);
// The same for settings held elsewhere (a compare slot, say): `image` with the current
// identity's header.
int SaveSettingsFile(const std::filesystem::path& path, const ParameterImageBytes& image,
                     std::string* errorText = nullptr);

// Reads a mode file into the image, corrects the input source for the connected model
// and runs ApplyImage. Returns 1 on success; 0 when the file cannot be opened (*errorText
// set to OpenErrorText), when its protocol code is not 20 or when it is shorter than
// 3578 bytes (*errorText left empty). On 0 the image is unchanged. After a 0 the user
// interface shows kModeVersionText titled kModeVersionTitle.
// Reads and checks a mode file's image without touching the model: 1 and the image,
// or 0 under the same conditions as LoadModeFile. With `identity`, a 1 also gives the
// model name and versions the header names (the protocol code is the supported one).
int ReadModeFileImage(const std::filesystem::path& path, ParameterImageBytes& image, std::string* errorText = nullptr,
                      DeviceIdentity* identity = nullptr);

int LoadModeFile(const std::filesystem::path& path, std::string* errorText = nullptr);

// LoadModeFile, then on success logs "Start thread:SynchronizeData\n" and starts the
// write job that sends the loaded image to the device. Same results as LoadModeFile.
int LoadModeFileToDevice(const std::filesystem::path& path, std::string* errorText = nullptr);

// The device mode slot a file name asks for: 0..3 when the name, lower-cased and without
// directory and extension, begins with "m1".."m4"; otherwise -1.
int PendingModeSlot(std::string_view fileName);

// Writes bytes as the whole new content of path: into a temporary file in the same
// folder, then renamed over the target. An existing target that may not be written is
// refused. Returns 0 on success, else the system error number; the target is then
// untouched. Only when the folder refuses the temporary file but the existing target may
// be written is the target rewritten in place (flushed and synced to the disk): the
// alternative is not saving at all, and a failure part-way may then leave it cut short.
int ReplaceFileContents(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace dsptune
