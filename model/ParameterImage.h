#pragma once
// The device's whole configuration: the 3518-byte parameter image, the live block
// (the editors' working copy of bytes 0..1421) and one UI value per parameter-table
// entry, plus the editor values derived from the image. Each device has its own
// DataModel, held by its DeviceData (model/DeviceData.h). The operations below that take
// a DataModel act on that device; those without one act on the current device's model
// (CurrentDeviceData), until every caller is handed its device.
//
// Every function here is safe to call from any thread: the link's receive thread
// copies device answers in while the user interface reads.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "model/DeviceIdentity.h"
#include "model/EditorValues.h"
#include "model/ParameterTable.h"

namespace dsptune {

inline constexpr int kImageSize = 3518;
inline constexpr int kLiveBlockSize = 1422;
inline constexpr int kRecordAreaOffset = 1422;
inline constexpr int kBandRecordSize = 7;
inline constexpr int kSsvcLevelsOffset = 1358;     // eight big-endian floats, CH1..CH8
inline constexpr int kSsvcSettingsOffset = 1390;   // 20-byte SSVC settings record
inline constexpr int kSsvcSettingsSize = 20;
inline constexpr int kSubDecayLevelOffset = 1410;  // float dB
inline constexpr int kSsvcLocateOffset = 1414;     // SSVC locate selector byte
inline constexpr int kApplyCopySize = 1415;        // ApplyImage copies bytes 0..1414
inline constexpr int kMaxLiveWrite = 56;           // most bytes one 0x85 write carries
inline constexpr int kInputSourceOffset = 2017;    // last value byte of block 4 address 0x17

using ParameterImageBytes = std::array<std::uint8_t, kImageSize>;
using LiveBlockBytes = std::array<std::uint8_t, kLiveBlockSize>;
// A device identity as the 60 bytes a mode file stores it in (DeviceIdentity.h).
using IdentityBlock = std::array<std::uint8_t, kIdentitySize>;

// Where the model's writes go: the link installs itself here. Calls are made without
// any model lock held, so an implementation may block (a synchronous send waits up to
// 2000 ms for the previous reply).
class DeviceWriter {
 public:
  virtual ~DeviceWriter() = default;
  // Command 0x09: values are count x 4 bytes, already big-endian.
  virtual void SendDspRecord(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values) = 0;
  // Command 0x09 with an EQ band's five coefficients (20 bytes, big-endian floats): a
  // record the image does not hold. On the wire it is a DSP record write.
  virtual void SendBandCoefficients(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values) {
    SendDspRecord(block, address, values);
  }
  // Command 0x85: at most 56 bytes at a live-block offset.
  virtual void SendLiveBytes(std::uint16_t offset, std::span<const std::uint8_t> bytes) = 0;
  // Whether the network send queue may replace a pending packet with the same key.
  virtual void SetCoalescingAllowed(bool allowed) = 0;
  // Whether a write sent now reaches a device. An edit made while this is false is kept
  // in the model and counted as not yet on the device.
  virtual bool Delivers() const { return true; }
};

// Sees every edit made through the write operations below, with the bytes it changed
// as they were before and after, at working-settings offsets (the live block for
// 0..1421, the image above). Called with the model lock held: it must not call back
// into the model. The edit history is the one observer.
class EditObserver {
 public:
  virtual ~EditObserver() = default;
  virtual void OnEdit(int offset, std::span<const std::uint8_t> before, std::span<const std::uint8_t> after) = 0;
};

class DeviceData;

class DataModel {
 public:
  explicit DataModel(DeviceData* device = nullptr);

  // The device these settings belong to: its edit observer sees every edit.
  DeviceData* const device;

  // All state is guarded by this mutex; the free functions take it.
  std::mutex mutex;
  ParameterImageBytes image{};
  LiveBlockBytes live{};
  std::array<std::int32_t, kParameterCount> ui{};
  EditorValues editor;
  DeviceIdentity identity;
  DeviceWriter* writer = nullptr;
  // Some edit has not reached a device: made with no link open, or refused by one.
  bool unsentEdits = false;
  // The settings the device last confirmed (see ConfirmedSettings).
  std::optional<ParameterImageBytes> confirmed;
  // The mode file the working settings were last read from: its identity block, the
  // settings it held, and whether a device has since held other settings (an edit it
  // received, or a read or reconcile that left the model agreeing with it on others).
  struct FileOrigin {
    IdentityBlock header{};
    ParameterImageBytes settings{};
    bool leftForDevice = false;
  };
  std::optional<FileOrigin> fileOrigin;
};

// The device the operations without a DataModel act on: the process's default device
// unless a session made its own current (SetCurrentDeviceData). A step on the way to
// handing every caller its device; new code takes the DeviceData or DataModel it works on.
DeviceData& CurrentDeviceData();
// nullptr: the process's default device again.
void SetCurrentDeviceData(DeviceData* device);

// The current device's model.
DataModel& CurrentModel();
// Replaces the current device's model with a fresh one (identity and image at their
// start values, no writer). Not to be called while other threads use the model.
void ResetDataModel();
// Installs the writer that the model's write operations send through (nullptr: none).
void SetDeviceWriter(DeviceWriter* writer);
void SetDeviceWriter(DataModel& m, DeviceWriter* writer);
// Where EQ band coefficients go. They are not part of the image, so they have a writer
// of their own that outlives ResetDataModel: a test that records the model's writes
// still has its coefficients reach the link. The link installs itself here.
void SetCoefficientWriter(DeviceWriter* writer);
// Installs the edit observer (nullptr: none). Like the coefficient writer it outlives
// ResetDataModel.
void SetEditObserver(EditObserver* observer);
// Sends an EQ band's coefficients through the coefficient writer; stores nothing.
void SendBandCoefficients(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values);

// ---- the data model's operations ----
void LoadDefaultImage();
void ApplyImage();
void ApplyImage(DataModel& m);
void CommitLiveBlock();
// Copies count x 4 bytes into the image when the table links (block, address), then sends 0x09.
void WriteDspRecord(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values, int count);
// Stores a UI value, converts it into the image and sends 0x09 with one value.
void SetParameter(std::uint8_t block, std::uint8_t address, std::int32_t uiValue);
// Copies at most 56 bytes into the live block and sends 0x85. Bytes past the live
// block's end are not copied (and the write is refused).
bool WriteLiveBytes(int offset, std::span<const std::uint8_t> bytes);
// Lets the network send queue coalesce again (true) or not (false) while a sequence runs.
void AllowSendCoalescing(bool allowed);
// Offset of band b of EQ n in the live block / image.
int EqBandOffset(int eq, int band);

// ---- edits the device does not hold yet ----
// Set by any write above that no device received (no writer, or a writer that does not
// deliver), and by loads of whole settings made without a device; cleared by whoever
// brings device and model into agreement (a read that replaces the model, a write job,
// the reconcile step).
bool HasUnsentEdits();
bool HasUnsentEdits(DataModel& m);
void MarkUnsentEdits();
void MarkUnsentEdits(DataModel& m);
// Also ends a file's claim on the working settings (FileHeaderFor) when they are not
// the file's settings: the device holds them now.
void ClearUnsentEdits();
void ClearUnsentEdits(DataModel& m);
// The settings the device is known to hold: the image of the last read that completed or
// of the last write job it acknowledged chunk by chunk. Kept beside the unsent edits for
// the session, so that a reconnect can tell the user's edits from changes made on the
// device meanwhile (the base of model/SettingsMerge.h). None before the first such
// transfer of this model.
std::optional<ParameterImageBytes> ConfirmedSettings();
void NoteConfirmedSettings(const ParameterImageBytes& settings);
void NoteConfirmedSettings(DataModel& m, const ParameterImageBytes& settings);

// ---- the identity a mode file names for the settings it holds ----
// Settings read from a mode file keep naming the file's identity block (the model and
// versions it was saved from) until a device holds them changed: offline edits keep it,
// an edit a device receives or a read of other settings ends it. LoadDefaultImage forgets
// the file.
void NoteSettingsFromFile(const IdentityBlock& header, const ParameterImageBytes& settings);
// The identity block of the file that `settings` (3518 bytes as a mode file stores them)
// belong to: the last file read, when they are exactly its settings, or the working
// settings before a device took them over. Empty otherwise.
std::optional<IdentityBlock> FileHeaderFor(const ParameterImageBytes& settings);

// ---- readers (copies taken under the lock) ----
ParameterImageBytes ImageSnapshot();
ParameterImageBytes ImageSnapshot(DataModel& m);
LiveBlockBytes LiveBlockSnapshot();
std::vector<std::uint8_t> ReadImageBytes(int offset, int length);
std::vector<std::uint8_t> ReadLiveBytes(int offset, int length);
std::int32_t UiValue(std::uint8_t block, std::uint8_t address);  // 0 when there is no slot
EditorValues EditorSnapshot();
DeviceIdentity IdentitySnapshot();
DeviceIdentity IdentitySnapshot(DataModel& m);

// ---- writers without a device send (device answers, file loads, editor bookkeeping) ----
// Copies into the image, cut at the image end; offsets outside it are ignored.
void StoreImageBytes(int offset, std::span<const std::uint8_t> bytes);
void StoreImageBytes(DataModel& m, int offset, std::span<const std::uint8_t> bytes);
// Copies into the live block, cut at its end; offsets outside it are ignored.
void StoreLiveBytes(int offset, std::span<const std::uint8_t> bytes);
void StoreLiveBytes(DataModel& m, int offset, std::span<const std::uint8_t> bytes);
void ReplaceImage(const ParameterImageBytes& image);
void UpdateEditorValues(const std::function<void(EditorValues&)>& change);
void UpdateEditorValues(DataModel& m, const std::function<void(EditorValues&)>& change);
void UpdateIdentity(const std::function<void(DeviceIdentity&)>& change);
void UpdateIdentity(DataModel& m, const std::function<void(DeviceIdentity&)>& change);
// Decodes the SSVC settings record of the live block into the SSVC editor values.
void ApplySsvcSettingsRecordToEditor();
void ApplySsvcSettingsRecordToEditor(DataModel& m);

}  // namespace dsptune
