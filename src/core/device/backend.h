#pragma once

// The serial-flash library's transport backend: a table of eleven entries the
// library calls, and the one implementation of it, which carries each entry as
// extension-unit requests through the library's own channel.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/device/protocol.h"
#include "core/device/transport.h"

namespace emberline::device {

// Memory-space codes of a block transfer.
inline constexpr std::uint8_t kSpaceWrite = 6;    // write through selector 3
inline constexpr std::uint8_t kSpaceRead = 7;     // read through selector 3
inline constexpr std::uint8_t kSpaceRead9 = 9;    // read through selector 4

// The library's channel: the device bound by SfOpenCamera, its node id and the
// device path text (kept across a close, as the library's open left it).
struct LibraryChannel {
  std::shared_ptr<CaptureDevice> device;
  std::uint32_t node_id = 0;
  std::string device_path;
  int last_error = 0;  // errno of the last failed request, 0 when none
};

// The eleven entries, in table order. Entries taking a device index ignore it:
// a backend has one channel.
class SfBackend {
 public:
  virtual ~SfBackend() = default;

  virtual bool BeWriteRegister(int index, std::uint16_t reg, unsigned value) = 0;
  virtual bool BeReadRegister(int index, std::uint16_t reg, std::uint8_t& value) = 0;
  virtual bool BeFlashCommandC8(int index) = 0;
  virtual bool BeReadInfoByte(int index, std::uint8_t& value) = 0;
  virtual bool BeReadInfoWord(int index, std::uint16_t& value) = 0;
  virtual bool BeFlashCommand40(int index, std::uint8_t value, std::uint16_t word) = 0;
  // Transfers buffer.size() bytes at `address` (low 16 bits used) in `space`,
  // in requests of at most `chunk` bytes (capped at 8).
  virtual bool BeTransferBlock(int index, std::uint8_t space, std::uint32_t address,
                               std::span<std::uint8_t> buffer, std::uint32_t chunk) = 0;
  virtual bool BeClose(int index) = 0;
  virtual bool BeWriteMulti(std::uint8_t first, std::uint8_t control,
                            std::span<const std::uint8_t> data) = 0;
  virtual bool BeReadMulti(std::uint8_t first, std::uint8_t control, std::span<std::uint8_t> data) = 0;
  virtual std::string BeGetDevicePath() = 0;

  // Not table entries: the open step SfInit runs before it fills the table.
  // OpenDevice returns SfOpenCamera's codes (kOpenOk ...).
  virtual void ClearBankFlags() = 0;
  virtual int OpenDevice() = 0;
  // True once the device has gone away (unplugged): polling it any further
  // can only sleep, so the library's waits end early.
  virtual bool DeviceGone() const { return false; }
};

// The extension-unit backend. One per camera; not thread-safe (one library
// user at a time, as the library itself).
class ExtensionUnitBackend final : public SfBackend {
 public:
  // `dialog_channel`, when given, is the dialog's channel to the same camera:
  // when the library's own unit lookup finds nothing, it takes the node that
  // channel settled on, as the dialog did, instead of node 1.
  explicit ExtensionUnitBackend(DeviceList& devices,
                                const ExtensionUnitChannel* dialog_channel = nullptr);

  bool BeWriteRegister(int index, std::uint16_t reg, unsigned value) override;
  bool BeReadRegister(int index, std::uint16_t reg, std::uint8_t& value) override;
  bool BeFlashCommandC8(int index) override;
  bool BeReadInfoByte(int index, std::uint8_t& value) override;
  bool BeReadInfoWord(int index, std::uint16_t& value) override;
  bool BeFlashCommand40(int index, std::uint8_t value, std::uint16_t word) override;
  bool BeTransferBlock(int index, std::uint8_t space, std::uint32_t address,
                       std::span<std::uint8_t> buffer, std::uint32_t chunk) override;
  bool BeClose(int index) override;
  bool BeWriteMulti(std::uint8_t first, std::uint8_t control,
                    std::span<const std::uint8_t> data) override;
  bool BeReadMulti(std::uint8_t first, std::uint8_t control, std::span<std::uint8_t> data) override;
  std::string BeGetDevicePath() override;

  void ClearBankFlags() override;
  int OpenDevice() override;
  bool DeviceGone() const override { return channel_.device && channel_.last_error == -ENODEV; }

  bool writeBankFlag() const { return write_bank_; }
  bool readBankFlag() const { return read_bank_; }
  LibraryChannel& channel() { return channel_; }
  const LibraryChannel& channel() const { return channel_; }

 private:
  // Chunk operations of the block transfer; each is one full request frame.
  bool writeChunk(std::uint16_t address, std::uint32_t count, const std::uint8_t* data);
  bool readSetup(std::uint16_t address, std::uint32_t count);
  bool readData(std::uint8_t* destination, std::uint32_t count);
  bool space9Read(std::uint16_t address, std::uint8_t* destination, std::uint32_t count);

  DeviceList& devices_;
  const ExtensionUnitChannel* dialog_channel_;
  LibraryChannel channel_;
  bool write_bank_ = false;  // LibraryWriteBankFlag
  bool read_bank_ = false;   // LibraryReadBankFlag
};

}  // namespace emberline::device
