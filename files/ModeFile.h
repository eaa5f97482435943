#pragma once
// Mode files ("*.mode"): a whole device setting on disk. 3578 bytes, no padding:
//
//   offset  size  field
//        0     4  protocol code, 32-bit little-endian (20 for every file that loads)
//        4    32  model name, ASCII, zero-padded
//       36    11  MCU version text, ASCII, zero-padded
//       47    11  DSP version text, ASCII, zero-padded
//       58     2  spare (zero in a header the program makes)
//       60  3518  parameter image, byte for byte (big-endian values inside)
//
// The header names where the settings come from. A file saved from a device carries that
// device's name and versions. Settings opened from a file keep the file's header, byte
// for byte, while they are still the file's: unchanged (also after a connected open has
// written them to the device), or changed only by edits no device received. Once a
// device holds them changed (an edit it received, a reconcile or read that left other
// settings) they are the device's and carry its identity. Settings from the defaults,
// with no device ever read and no file, carry the start-up model name and placeholder
// versions with the supported protocol code. So opening a file and saving it without an
// edit gives the same 3578 bytes, offline or connected.
//
// Loading tests only the protocol code and the length. Every other byte is kept as
// stored, also a value the connected model's lists do not offer (an input source of
// another model): the editors show it as what it is, and only the user replaces it.
//
// The user interface shows the message boxes; these routines return the texts.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "model/DeviceIdentity.h"
#include "model/ParameterImage.h"
#include "model/SettingsDiff.h"

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

// Commits the live block into the image, then writes the header (above) and the image.
// Returns 1 on success. Returns 0 when the file cannot be written, with *errorText (when
// given) set to WriteErrorText. The file is written beside the target under a temporary
// name and renamed over it, so a failed save leaves an existing file as it was.
int SaveModeFile(const std::filesystem::path& path, std::string* errorText = nullptr);
// The same for settings held elsewhere (a compare slot, say): `image` with the header of
// the file it came from (FileHeaderFor), else the identity the program holds.
int SaveSettingsFile(const std::filesystem::path& path, const ParameterImageBytes& image,
                     std::string* errorText = nullptr);

// Reads a mode file into the working settings exactly as stored (image, the whole live
// block, UI and editor values: LoadSettings) and remembers its header for the next save.
// Nothing is corrected for the connected model. Returns 1 on success; 0 when the file
// cannot be opened (*errorText set to OpenErrorText), when its protocol code is not 20
// or when it is shorter than 3578 bytes (*errorText left empty). On 0 the model is
// unchanged. After a 0 the user interface shows kModeVersionText titled kModeVersionTitle.
// Reads and checks a mode file's image without touching the model: 1 and the image,
// or 0 under the same conditions as LoadModeFile. With `identity`, a 1 also gives the
// model name and versions the header names (the protocol code is the supported one).
int ReadModeFileImage(const std::filesystem::path& path, ParameterImageBytes& image, std::string* errorText = nullptr,
                      DeviceIdentity* identity = nullptr);

int LoadModeFile(const std::filesystem::path& path, std::string* errorText = nullptr);

// LoadModeFile, then on success logs "Start thread:SynchronizeData\n" and starts the
// write job that sends the loaded image to the device. Same results as LoadModeFile.
// The device gets the file as it is, an input source its model lacks included: that is
// the setting the user chose by opening the file (the device's source record takes any of
// the 14 sources; the all-sources dialog variant sends each of them), and the window
// shows it as not on this model. Nothing is sent that the file does not hold.
int LoadModeFileToDevice(const std::filesystem::path& path, std::string* errorText = nullptr);

// Why a file was not taken as a mode file, told beside kModeVersionText: the fixed text
// alone reads as if any file were a mode file of some other version.
enum class ModeFileProblem {
  kNone,           // a mode file of this version, whole
  kNotModeFile,    // neither the header nor the size of a mode file
  kCutShort,       // starts as a mode file of this version and ends early
  kOtherProtocol,  // a mode file header with another protocol code
  kUnreadable,     // not read at all (the open error says why)
};
struct ModeFileCheck {
  ModeFileProblem problem = ModeFileProblem::kNone;
  std::uint32_t protocolCode = 0;  // the code the header holds (kOtherProtocol)
  std::uintmax_t size = 0;         // the file's size in bytes
};
// Judges a file from its first bytes (the whole file, or at least its 60-byte header
// when it has one) and its size. The loaders refuse exactly what this does not call kNone.
ModeFileCheck CheckModeFileBytes(std::span<const std::uint8_t> head, std::uintmax_t size);
// Reads the file (a regular file only, at most 1 MiB of it) and judges it.
ModeFileCheck CheckModeFile(const std::filesystem::path& path);
// The reason in words after the file's name, in Chinese and English:
// "evening.mode: cut short (3577 of 3578 bytes)". Empty texts for kNone.
BilingualText ModeFileProblemText(const ModeFileCheck& check, std::string_view fileName);

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
