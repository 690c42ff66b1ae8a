#pragma once

// Offsets and strides of the workflows' loops over the 128 KB flash, and the
// bank flag's lifetime. Block requests carry offset bits 0-15; bit 16 travels
// as the session's HighBankFlag.

#include <array>
#include <cstdint>

namespace emberline::workflows {

inline constexpr std::uint32_t kBlockSize = 8;
inline constexpr std::uint32_t kBankBoundary = 0x10000;

// Burn: erase check and verification sample 8 bytes in every 1024.
inline constexpr std::uint32_t kSampleStride = 1024;
inline constexpr std::uint32_t kSampleEnd = 130046;  // last sample at 0x1F800
// Burn programming and export: every block below these ends, so the last
// 8 bytes (0x1FFF8-0x1FFFF) are never programmed nor read.
inline constexpr std::uint32_t kProgramEnd = 0x1FFF6;  // last block 0x1FFF0
inline constexpr std::uint32_t kExportEnd = 0x1FFF8;   // last block 0x1FFF0
// Erase: blank check samples 8 bytes in every 32.
inline constexpr std::uint32_t kEraseStride = 32;
inline constexpr std::uint32_t kEraseEnd = 0x1FFF8;  // last sample at 0x1FFE0

// Progress bar 1003 ranges.
inline constexpr int kBurnDataRange = 13004;
inline constexpr int kEraseDataRange = 13106;
inline constexpr int kExportDataRange = 13106;
// Progress bar 1004: the burn's stages.
inline constexpr int kStageRange = 9;

// The blank checks after a chip erase pass a sampled block unless both its
// byte 0 and its byte 5 differ from 0xFF.
inline bool passesBlankCheck(const std::array<std::uint8_t, 8>& block) {
  return block[0] == 0xFF || block[5] == 0xFF;
}

// Keeps the bank flag right for a loop over offsets: raised once the offset
// reaches the upper 64 KB, and back to 0 however the loop is left.
class HighBankScope {
 public:
  explicit HighBankScope(int& flag) : flag_(flag) { flag_ = 0; }
  ~HighBankScope() { flag_ = 0; }
  HighBankScope(const HighBankScope&) = delete;
  HighBankScope& operator=(const HighBankScope&) = delete;

  void at(std::uint32_t offset) {
    if (offset >= kBankBoundary) flag_ = 1;
  }

 private:
  int& flag_;
};

}  // namespace emberline::workflows
