// Every simulated part, identified the two ways the product does it (the
// library's four-command identification with the catalogue lookup, and the
// workflow's own flash-type detection) and then erased the way the workflow
// erases its type.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/serialflash/catalogue.h"
#include "raw_camera.h"

namespace emberline::sim {
namespace {

using testing::RawCamera;
using Id = std::array<std::uint8_t, 3>;

// The library's identification: 0x9F, 0x15, 0x90, 0xAB until the catalogue knows the part.
std::size_t libraryEntry(RawCamera& raw) {
  struct Step { std::uint8_t opcode; int dummies; int bytes; };
  constexpr Step kSteps[] = {{0x9F, 0, 3}, {0x15, 0, 2}, {0x90, 3, 2}, {0xAB, 3, 2}};
  std::size_t entry = 0;
  for (const auto& step : kSteps) {
    raw.takePort();
    raw.writeReg(0x1091, 0);
    raw.send(step.opcode);
    for (int i = 0; i < step.dummies; ++i) raw.send(0x00);
    Id id{};
    id[0] = raw.receive();
    if (id[0] == 0x7F) id[0] = raw.receive();
    id[1] = raw.receive();
    id[2] = step.bytes == 3 ? raw.receive() : 0xFF;
    raw.writeReg(0x1091, 1);
    raw.givePort();
    entry = serialflash::findCatalogueEntry(id);
    if (entry != 0) break;
  }
  return entry;
}

// The workflow's detection: its decisions on the answers, in its order.
std::uint8_t workflowType(RawCamera& raw) {
  std::uint8_t type = 0;
  auto id = raw.spi({0x9F}, 3);
  if (id[0] == 0x7F) {
    id = raw.spi({0x9F}, 4);
    id.erase(id.begin());
  }
  switch (id[0]) {
    case 0xC2: return 1;
    case 0x20: return 2;
    case 0x1F: return 5;
    case 0xEF: return 7;
    case 0x9D: return 8;
    case 0x37: return 10;
    default: if (id[0] != 0 && id[1] == 0x20) type = 0xFF;
  }
  id = raw.spi({0x9F}, 3);
  if (id[0] == 0xC8) {
    type = 0;
    if (id[1] == 0x40) return type;
  }
  if (raw.spi({0x15}, 2)[0] == 0x1F) return 4;
  const auto s = raw.spi({0xD7}, 2)[1];
  if (s == 0x0C || s == 0x1C) return 6;
  switch (raw.spi({0x90, 0, 0, 0}, 2)[0]) {
    case 0xBF: return 3;
    case 0xEF: return 7;
    case 0xC2: return 1;
    default: break;
  }
  const auto e = raw.spi({0xAB, 0, 0, 0}, 2)[0];
  if (e == 0x05 || e == 0x10) return 2;
  if (e == 0x9D) return 8;
  return type;
}

void eraseForType(RawCamera& raw, std::uint8_t type) {
  if (type == 3) {
    raw.spi({0x50}, 0);
    raw.spi({0x01, 0x00}, 0);
  }
  raw.spi({0x06}, 0);
  switch (type) {
    case 2: case 7: case 8: case 10: raw.spi({0xC7}, 0); break;
    case 4: raw.spi({0x62}, 0); break;
    default: raw.spi({0x60}, 0); break;
  }
  raw.waitReady();
}

struct PartCase {
  Id id;
  bool continuation;
  std::size_t catalogue_entry;  // 0: the catalogue does not know it
  std::uint8_t sf_type;
};

class PartIdentification : public ::testing::TestWithParam<PartCase> {};

TEST_P(PartIdentification, LibraryAndWorkflowFindThePartAndTheWorkflowErasesIt) {
  const auto& c = GetParam();
  SimCamera camera(SimSettings{.flash_id = c.id, .flash_id_continuation = c.continuation});
  camera.setFlash(std::vector<std::uint8_t>(camera.settings().flash_size, 0x00));
  RawCamera raw(camera);

  EXPECT_EQ(libraryEntry(raw), c.catalogue_entry);
  const std::uint8_t type = workflowType(raw);
  EXPECT_EQ(type, c.sf_type);

  raw.unprotect(c.id[0] == 0xBF);
  eraseForType(raw, type);
  const auto flash = camera.flash();
  EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

INSTANTIATE_TEST_SUITE_P(
    Parts, PartIdentification,
    ::testing::Values(
        PartCase{{0xC2, 0x20, 0x11}, false, 1, 1}, PartCase{{0xC2, 0x22, 0x11}, false, 2, 1},
        PartCase{{0xC2, 0x20, 0x10}, false, 3, 1}, PartCase{{0xC2, 0x22, 0x10}, false, 4, 1},
        PartCase{{0x1F, 0x65, 0x01}, false, 5, 5}, PartCase{{0x9D, 0x20, 0x10}, false, 6, 8},
        PartCase{{0x9D, 0x7B, 0x7F}, true, 7, 8}, PartCase{{0xBF, 0x48, 0x00}, false, 8, 3},
        PartCase{{0x8C, 0x30, 0x10}, false, 9, 2}, PartCase{{0xC8, 0x40, 0x10}, false, 10, 0},
        PartCase{{0xEF, 0x30, 0x10}, true, 11, 7}, PartCase{{0x37, 0x30, 0x10}, false, 12, 10},
        PartCase{{0xA1, 0x31, 0x10}, false, 13, 2},
        // Outside the catalogue: each reaches another branch of the workflow.
        PartCase{{0x1F, 0x60, 0x00}, false, 0, 4}, PartCase{{0x20, 0x20, 0x11}, false, 0, 2},
        PartCase{{0x20, 0x10, 0x00}, false, 0, 2}, PartCase{{0x9D, 0x7C, 0x00}, false, 0, 8},
        PartCase{{0x1F, 0x22, 0x00}, false, 0, 6}, PartCase{{0x12, 0x20, 0x13}, false, 0, 0xFF},
        PartCase{{0x00, 0x00, 0x00}, false, 0, 0}));

TEST(PartIdentification, DataFlashTypeReadsWithE8AndFourDummyBytes) {
  SimCamera camera(SimSettings{.flash_id = {0x1F, 0x22, 0x00}});
  std::vector<std::uint8_t> content(camera.settings().flash_size, 0xFF);
  content[0x123] = 0x5A;
  camera.setFlash(content);
  RawCamera raw(camera);
  raw.writeReg(0x1088, 0xE8);
  raw.writeReg(0x108C, 4);
  EXPECT_EQ(raw.readBlock(0x120)[3], 0x5A);
}

}  // namespace
}  // namespace emberline::sim
