#include "core/workflows/flash_type_detection.h"

#include <array>
#include <cstddef>
#include <optional>

#include "core/workflows/camera_session.h"
#include "core/workflows/spi_sequencer.h"

namespace emberline::workflows {
namespace {

// One identification series: select, opcode, dummy bytes, `N` bytes in, release.
template <std::size_t N>
std::array<std::uint8_t, N> identify(SpiSequencer& spi, std::uint8_t opcode, int dummies = 0) {
  spi.select();
  spi.send(opcode);
  for (int i = 0; i < dummies; ++i) spi.send(0x00);
  std::array<std::uint8_t, N> bytes{};
  for (auto& b : bytes) b = spi.receive();
  spi.release();
  return bytes;
}

std::optional<std::uint8_t> typeFromJedecMaker(std::uint8_t maker) {
  switch (maker) {
    case 0xC2: return kSfTypeMacronix;
    case 0x20: return kSfTypeMicron;
    case 0x1F: return kSfTypeAtmel;
    case 0xEF: return kSfTypeWinbond;
    case 0x9D: return kSfTypePmc;
    case 0x37: return kSfTypeAmic;
    default: return std::nullopt;
  }
}

std::optional<std::uint8_t> typeFromRems(std::uint8_t maker) {
  switch (maker) {
    case 0xBF: return kSfTypeSst;
    case 0xEF: return kSfTypeWinbond;
    case 0xC2: return kSfTypeMacronix;
    default: return std::nullopt;
  }
}

// Each step returns the type when it recognised the flash; `type` carries
// the provisional result between steps.
std::optional<std::uint8_t> identifyFlash(SpiSequencer& spi, std::uint8_t& type) {
  // JEDEC id; one continuation code 0x7F is skipped by reading again.
  auto jedec = identify<3>(spi, 0x9F);
  if (jedec[0] == 0x7F) {
    const auto longer = identify<4>(spi, 0x9F);
    jedec = {longer[1], longer[2], longer[3]};
  }
  if (auto t = typeFromJedecMaker(jedec[0])) return t;
  if (jedec[0] != 0x00 && jedec[1] == 0x20) type = kSfTypeUnrecognised;

  const auto again = identify<3>(spi, 0x9F);
  if (again[0] == 0xC8) {
    type = kSfTypeUnknown;
    if (again[1] == 0x40) return type;
  }

  if (identify<2>(spi, 0x15)[0] == 0x1F) return kSfTypeAtmel15;

  const std::uint8_t status = identify<2>(spi, 0xD7)[1];
  if (status == 0x0C || status == 0x1C) return kSfTypeDataflash;

  if (auto t = typeFromRems(identify<2>(spi, 0x90, 3)[0])) return t;

  const std::uint8_t signature = identify<2>(spi, 0xAB, 3)[0];
  if (signature == 0x05 || signature == 0x10) return kSfTypeMicron;
  if (signature == 0x9D) return kSfTypePmc;
  return std::nullopt;
}

// The DSP's own flash-access registers: status-read and read commands of
// the flash, and its timing.
void programFlashAccess(SpiSequencer& spi, std::uint8_t type) {
  spi.givePort();
  spi.write(0x108C, 0);
  spi.write(0x108D, 7);
  spi.write(0x108E, 7);
  spi.write(0x108F, 7);
  if (type == kSfTypeDataflash) {
    spi.write(0x1087, 0xD7);
    spi.write(0x1088, 0xE8);
    spi.write(0x1092, 0x80);
    spi.write(0x1093, 1);
    spi.write(0x108C, 4);
  } else {
    spi.write(0x1087, 0x05);
    spi.write(0x1088, 0x03);
    spi.write(0x1092, 0x01);
    spi.write(0x1093, 0);
  }
}

}  // namespace

std::uint8_t detectFlashType(serialflash::SerialFlash& library) {
  SpiSequencer spi(library, /*echo_read=*/true);
  std::uint8_t type = kSfTypeUnknown;
  spi.takePort();
  if (auto found = identifyFlash(spi, type)) type = *found;
  programFlashAccess(spi, type);
  return type;
}

void CameraSession::DetectSFType() { sf_type_ = detectFlashType(library_); }

}  // namespace emberline::workflows
