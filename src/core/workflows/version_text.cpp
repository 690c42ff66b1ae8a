// The two readers of the chip's version block: the F/W Version text and the
// version-derived export file name. Both open the library, read the chip id
// anew, read the block from memory space 7 and close the library again.

#include <cstdio>
#include <span>

#include "core/device/backend.h"
#include "core/workflows/camera_session.h"
#include "core/workflows/device_error_text.h"
#include "core/workflows/version_block.h"

namespace emberline::workflows {

bool CameraSession::readVersionBlock(const VersionBlockAddresses& where, VersionBlock& block) {
  const auto read = [this](std::uint16_t address, std::span<std::uint8_t> into) {
    return library_.SfTransferMemory(device::kSpaceRead, address, into);
  };
  // All four are read even when one fails, in the block's usual order.
  bool ok = read(where.base, block.field1);
  ok = read(static_cast<std::uint16_t>(where.base + 10), block.field2) && ok;
  ok = read(static_cast<std::uint16_t>(where.base + 20), block.field3) && ok;
  ok = read(where.tag, block.tag) && ok;
  return ok;
}

std::optional<std::string> CameraSession::FirmwareVersionText() {
  noteFlashChanged(FailureKind::Unplugged);
  if (const int init = library_.SfInit(); init <= 0) {
    fail(initFailure(init), "Camera Init Failed!");
    return std::nullopt;
  }
  // The library is closed on every way out.
  struct Closer {
    serialflash::SerialFlash& library;
    ~Closer() { library.SfClose(); }
  } closer{library_};

  std::uint8_t chip_id = 0;
  if (!ReadChipId(chip_id)) {
    fail(requestFailure(), "GetChipIDValue Failed!");
    return std::nullopt;
  }
  const auto where = versionTextAddresses(chip_id);
  if (!where) {
    char text[80];
    std::snprintf(text, sizeof text, "No F/W version is known for chip 0x%02X!", chip_id);
    fail(FailureKind::UnknownChip, text);
    return std::nullopt;
  }
  VersionBlock block;
  if (!readVersionBlock(*where, block)) {
    fail(requestFailure(), "Read F/W Version Failed! " + describeDeviceError(backend_.channel().last_error));
    return std::nullopt;
  }
  return formatVersionText(block, narrow_text_decoder_);
}

bool CameraSession::BuildExportFileName(std::string& name) {
  if (library_.SfInit() <= 0) return false;
  struct Closer {
    serialflash::SerialFlash& library;
    ~Closer() { library.SfClose(); }
  } closer{library_};

  // Without the chip id, or with any piece of the block unread, there is no
  // trustworthy name: the caller falls back to the default one.
  std::uint8_t chip_id = 0;
  if (!ReadChipId(chip_id)) return false;
  VersionBlock block;
  if (!readVersionBlock(exportNameAddresses(chip_id), block)) return false;
  const auto built = exportNameFromBlock(block);
  if (!built) return false;
  name += *built;
  return true;
}

}  // namespace emberline::workflows
