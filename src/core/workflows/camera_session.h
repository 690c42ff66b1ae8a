#pragma once

// One camera as the dialog and the command line drive it: the state the
// workflows share (image buffer, chip id, bank flag, flash type code, the
// dialog's channel, the library and its backend) and the workflows
// themselves. One object per camera; several sessions on different cameras
// may run on different threads at once. A session runs one operation at a
// time (callers serialise; the app controller enforces it for the dialog).

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/device/backend.h"
#include "core/device/clock.h"
#include "core/device/device_filter.h"
#include "core/device/discovery.h"
#include "core/device/protocol.h"
#include "core/device/stop_token.h"
#include "core/serialflash/serial_flash.h"
#include "core/workflows/failure.h"
#include "core/workflows/rom_tag_table.h"
#include "core/workflows/output_file.h"
#include "core/workflows/ui_port.h"
#include "core/workflows/version_block.h"
#include "core/workflows/work_stage.h"

namespace emberline::workflows {

struct VersionBlock;
struct VersionBlockAddresses;

inline constexpr std::size_t kImageSize = 0x20000;

enum class LoadResult { Loaded, CannotOpen, WrongSize };

// Reads an image file into `image` (only when it loads): exactly kImageSize
// bytes, read whole.
LoadResult readSourceImage(const std::filesystem::path& path, std::vector<std::uint8_t>& image);
// "Can't Open File!" or "It is not a Rom file!".
const char* loadFailureText(LoadResult result);

// Beyond the dialog's burn, for stations.
struct BurnOptions {
  bool verify_full = false;  // read back every block, report the first differing offset
};

struct BurnReport {
  std::uint64_t blocks_written = 0;
  std::uint64_t blocks_skipped = 0;
  std::optional<std::uint32_t> first_difference;  // set when verification failed at this offset
  std::string failure;  // the message shown for the failure, empty on success
  // Waits for an SPI transfer that ran out their bound: the camera never
  // reported the byte sent. A burn that verified despite them passed, but
  // its register traffic is in doubt.
  int transfer_waits_ran_out = 0;
};

struct VerifyReport {
  bool matches = false;
  std::optional<std::uint32_t> first_difference;
  std::string failure;  // a device failure, empty when the comparison ran
};

class CameraSession {
 public:
  CameraSession(device::DeviceList& devices, UiPort& ui,
                device::Clock& clock = device::systemClock());
  ~CameraSession();
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  // Binds the dialog's channel (0 = found) and keeps the chip id the camera
  // answered with (chipId()). Discovery's two fixed lines go to
  // standard output unless redirected (a face printing JSON keeps stdout clean).
  int DiscoverCamera();
  void setDiscoveryOutput(device::DiscoveryOutput out) { discovery_output_ = std::move(out); }
  // The table that chooses where the flash type code goes (default: ours).
  void setRomTagTable(RomTagTable table) { rom_tag_table_ = std::move(table); }
  // How the chip's narrow text (the F/W Version) becomes UTF-8 (default: Latin-1).
  void setNarrowTextDecoder(NarrowTextDecoder decode) { narrow_text_decoder_ = std::move(decode); }
  // A stop request ends a burn, erase, export or verify at the next request
  // boundary with a message saying how far it got and what the flash holds.
  void setStopToken(device::StopToken stop);
  bool stopRequested() const { return stop_.stopRequested(); }
  // Where exports go (default: portableOutputFiles()); must outlive the session.
  void setOutputFiles(OutputFiles& files) { output_files_ = &files; }
  // Asked before an export opens the file it named itself (from the version,
  // or the default name): a text saying why that file must not be written,
  // or nullopt.
  using OutputGuard = std::function<std::optional<std::string>(const std::filesystem::path&)>;
  void setOutputGuard(OutputGuard guard) { output_guard_ = std::move(guard); }
  // Reads the chip id through the dialog's channel; stores it on success.
  bool ReadChipId(std::uint8_t& chip_id);

  // Source image: size check, all-or-nothing replacement of the image buffer,
  // messages and status through the port.
  LoadResult LoadSourceImage(const std::filesystem::path& path);
  // Replaces the image buffer with an image already read (kImageSize bytes;
  // anything else is ignored). Never while a burn reads it.
  void replaceImage(std::vector<std::uint8_t> image);

  // Workflows: 1 success, 0 failure (each failure already shown as a message).
  int BurnRom(const BurnOptions& options = {}, BurnReport* report = nullptr);
  int EraseFlash();
  // Exports into `file` or, when empty, the version-derived name (or the
  // default name) in the current directory. 0 when the file could not be
  // written or a block could not be read; an existing file is never left
  // half-written.
  int ExportRom(const std::filesystem::path& file = {}, std::filesystem::path* written = nullptr);
  int DisableFlashWriteProtect();
  int EnableFlashWriteProtect();
  void DetectSFType();
  void WriteSFTypeAndEraseChip(std::span<const std::uint8_t, 8> rom_id);
  bool BuildExportFileName(std::string& name);
  // The four-line version text of the F/W Version command (CR LF between
  // lines); nullopt when the library could not be opened ("Camera Init Failed!").
  // Every nullopt has already been shown as a message (also: chip id not
  // readable, a model without a known version block, a memory read failing).
  std::optional<std::string> FirmwareVersionText();
  // Compares the camera's flash with `image` without writing. Covers every
  // block a burn programs (0x00000-0x1FFF7); the last 8 bytes are never
  // programmed, so they are not compared.
  VerifyReport VerifyImage(std::span<const std::uint8_t> image);

  // --- state ---
  std::span<const std::uint8_t> image() const { return image_; }
  // The last failure a workflow of this session showed (kind None before any).
  const Failure& lastFailure() const { return last_failure_; }
  // True when the camera left the bus: its last request failed as unplugged.
  bool cameraGone() const;
  std::uint8_t chipId() const { return chip_id_; }
  int highBankFlag() const { return high_bank_flag_; }
  std::uint8_t sfType() const { return sf_type_; }
  device::ExtensionUnitChannel& channel() { return channel_; }
  serialflash::SerialFlash& library() { return library_; }
  device::ExtensionUnitBackend& backend() { return backend_; }
  UiPort& ui() { return ui_; }

 private:
  // Block requests through the dialog's channel at a 17-bit flash offset, the
  // bank bit taken from high_bank_flag_. False when the camera refused.
  bool readBlock(std::uint32_t offset, std::span<std::uint8_t, 8> block);
  bool writeBlock(std::uint32_t offset, std::span<const std::uint8_t, 8> block);
  // "<what> Failed at 0x0A3F0! <why>", the why taken from the channel's last error.
  std::string blockFailure(const char* what, std::uint32_t offset) const;
  // Shows `text` as one modal message and returns 0, the workflows' failure
  // result. A camera that left the bus makes the kind `unplugged` (as far as
  // the flash was changed by then, see noteFlashChanged).
  // `detail` defaults to the device's own account of its last failure.
  int fail(FailureKind kind, const std::string& text, std::string* failure = nullptr, std::string detail = {});
  // The kind of a failed request: unplugged when the camera is gone.
  FailureKind requestFailure() const;
  // The kind of a library that would not open (SfInit's result).
  FailureKind initFailure(int init) const;
  // From here on an unplugged camera has lost what its flash held.
  void noteFlashChanged(FailureKind unplugged) { unplugged_kind_ = unplugged; }
  // Write-protect control; mode 0 lifts protection, 1 restores it. nullopt
  // when it worked, else what stood in the way (its text may be empty),
  // shown by the caller with its own text as one message.
  std::optional<Failure> setWriteProtect(int mode);
  // Disable/EnableFlashWriteProtect: the reason shown on its own.
  int changeWriteProtect(int mode);
  // "Disable Flash Write Protect Failed!" with its reason, as one message;
  // false then.
  bool liftWriteProtect(std::string* failure);
  // "Enable Flash Write Protect Failed!" with its reason, shown as one
  // message when `show`; the text, empty when protection is back on.
  std::string restoreWriteProtect(bool show = true);
  // WriteSFTypeAndEraseChip for a workflow: false (and the one message shown)
  // when the camera left the bus on the way, so that nothing after it adds a
  // second message for the same failure. From the erase on, a camera that
  // leaves is `unplugged` in the sense given.
  bool writeSFTypeAndEraseChip(std::span<const std::uint8_t, 8> rom_id, FailureKind unplugged,
                               std::string* failure);
  // The RomIdRecord handed to WriteSFTypeAndEraseChip (library already open).
  std::array<std::uint8_t, 8> readRomIdRecord();
  // Reads the version block (space 7) through the open library; false when
  // any of its four reads failed.
  bool readVersionBlock(const VersionBlockAddresses& where, VersionBlock& block);
  // Reads every block an export covers (all but the last 8 bytes) into
  // `content`, with progress on bar 1003; 0 and the message shown when a read
  // fails.
  int readFlashInto(std::vector<std::uint8_t>& content, std::string* failure = nullptr);
  // Verification stages of the burn; 1 passed, 0 failed (message shown).
  int verifySampled(BurnReport& report);
  int verifyFull(BurnReport& report);
  // Fails a workflow whose wait for flash ready in `stage` ran out (message
  // shown, 0 returned).
  int flashNotReady(WorkStage stage, std::string* failure = nullptr);
  // Ends a workflow stopped in `stage` (message shown, 0 returned); puts
  // write protection back where that is safe.
  int stopped(WorkStage stage, std::optional<std::uint32_t> offset, std::string* failure,
              bool restore_write_protect = false);

  device::DeviceList& devices_;
  UiPort& ui_;
  device::Clock& clock_;
  device::DiscoveryOutput discovery_output_;
  device::ExtensionUnitChannel channel_;
  device::ChannelDeviceList library_devices_{devices_, channel_};  // the library opens the chosen camera
  device::ExtensionUnitBackend backend_;
  serialflash::SerialFlash library_;
  std::vector<std::uint8_t> image_ = std::vector<std::uint8_t>(kImageSize, 0xFF);
  std::uint8_t chip_id_ = 0;
  int high_bank_flag_ = 0;
  std::uint8_t sf_type_ = 0;
  RomTagTable rom_tag_table_ = defaultRomTagTable();
  NarrowTextDecoder narrow_text_decoder_;
  device::StopToken stop_;
  OutputFiles* output_files_ = &portableOutputFiles();
  OutputGuard output_guard_;
  bool chip_erase_sent_ = false;  // by the last WriteSFTypeAndEraseChip
  Failure last_failure_;
  FailureKind unplugged_kind_ = FailureKind::Unplugged;  // what a vanished camera means now
};

}  // namespace emberline::workflows
