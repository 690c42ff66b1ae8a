// The library's backend: block transfers split into exact requests, the bank
// flags, and the single-request entries.

#include <gtest/gtest.h>

#include <numeric>

#include "core/device/backend.h"
#include "core/device/discovery.h"
#include "core/device/protocol.h"
#include "support/scripted_device.h"

namespace emberline::device {
namespace {

using test::Bytes;
using test::describe;
using Log = std::vector<std::string>;

struct BackendTest : ::testing::Test {
  BackendTest() {
    list.addEntry({"cam", "Camera", "/dev/video7"}, camera);
    EXPECT_EQ(backend.OpenDevice(), kOpenOk);
    // Data GETs answer their sequence number in every data byte.
    camera->setResponder([this](const ControlRequest& request) {
      if (request.op() == XuOp::Get && request.selector == XU_SEL_FLASH)
        std::fill(request.payload.begin() + 3, request.payload.begin() + 11, ++gets);
      return 0;
    });
  }
  // Runs one transfer (writes send 0x40, 0x41, ...; reads start from 0xFF)
  // and returns its requests.
  Log transfer(std::uint8_t space, std::uint32_t address, std::size_t length, std::uint32_t chunk,
               bool expect = true) {
    camera->clearLog();
    buffer.assign(length, 0xFF);
    if (space == kSpaceWrite) std::iota(buffer.begin(), buffer.end(), std::uint8_t{0x40});
    EXPECT_EQ(backend.BeTransferBlock(0, space, address, buffer, chunk), expect);
    return describe(camera->requests());
  }

  std::shared_ptr<test::ScriptedDevice> camera = std::make_shared<test::ScriptedDevice>();
  test::ScriptedDeviceList list;
  ExtensionUnitBackend backend{list};
  Bytes buffer;
  std::uint8_t gets = 0;
};

struct TransferCase {
  const char* name;
  std::uint8_t space;
  std::uint32_t address;
  std::size_t length;
  std::uint32_t chunk;
  Log requests;
};

class Transfers : public BackendTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(Transfers, SendExactlyTheseRequests) {
  const auto& c = GetParam();
  EXPECT_EQ(transfer(c.space, c.address, c.length, c.chunk), c.requests);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Transfers,
    ::testing::Values(
        TransferCase{"Read10", 7, 0x3E00, 10, 8, {"S3/12 00 3E 88", "G3/12", "S3/12 08 3E 82", "G3/12"}},
        TransferCase{"Read1", 7, 0x0120, 1, 8, {"S3/12 20 01 81", "G3/12"}},
        TransferCase{"Read3Chunk1", 7, 0x3E00, 3, 1, {"S3/12 00 3E 81", "G3/12", "G3/12", "G3/12"}},
        TransferCase{"Read24AcrossBanks", 7, 0xFFF0, 24, 8,
                     {"S3/12 F0 FF 88", "G3/12", "G3/12", "S3/12 00 00 98", "G3/12"}},
        TransferCase{"Read12AcrossBanks", 7, 0xFFF8, 12, 8,
                     {"S3/12 F8 FF 88", "G3/12", "S3/12 00 00 98", "G3/12"}},
        TransferCase{"Read2Chunk1AcrossBanks", 7, 0xFFFF, 2, 1,
                     {"S3/12 FF FF 81", "G3/12", "S3/12 00 00 98", "G3/12"}},
        TransferCase{"ChunkZeroIsOne", 7, 0x0000, 2, 0, {"S3/12 00 00 81", "G3/12", "G3/12"}},
        TransferCase{"ChunkCappedAtEight", 7, 0x0000, 8, 20, {"S3/12 00 00 88", "G3/12"}},
        TransferCase{"WriteWithHead", 6, 0x0003, 16, 8,
                     {"S3/12 03 00 05 40 41 42 43 44",
                      "S3/12 08 00 08 45 46 47 48 49 4A 4B 4C", "S3/12 10 00 03 4D 4E 4F"}},
        TransferCase{"WriteHeadOnly", 6, 0x0003, 2, 8, {"S3/12 03 00 02 40 41"}},
        TransferCase{"WriteAcrossBanks", 6, 0xFFF8, 16, 8,
                     {"S3/12 F8 FF 08 40 41 42 43 44 45 46 47",
                      "S3/12 00 00 18 48 49 4A 4B 4C 4D 4E 4F"}},
        TransferCase{"Space9", 9, 0x0010, 12, 8, {"S4/12 10 00 08", "G4/12", "S4/12 18 00 08", "G4/12"}},
        TransferCase{"Empty", 7, 0x0000, 0, 8, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(BackendTest, ReadsPlaceEachChunkAtItsBufferPosition) {
  transfer(kSpaceRead, 0x3E00, 10, 8);
  EXPECT_EQ(buffer, (Bytes{1, 1, 1, 1, 1, 1, 1, 1, 2, 2}));
  transfer(kSpaceRead, 0x3E00, 3, 1);
  EXPECT_EQ(buffer, (Bytes{3, 4, 5}));
}

TEST_F(BackendTest, ReadBankStaysUpperUntilAChunkWriteOrAClear) {
  transfer(kSpaceRead, 0xFFF0, 24, 8);
  EXPECT_EQ(transfer(kSpaceRead, 0x3E00, 3, 8), (Log{"S3/12 00 3E 98", "G3/12"}));
  transfer(kSpaceWrite, 0x0000, 1, 8);
  EXPECT_EQ(transfer(kSpaceRead, 0x3E00, 3, 8), (Log{"S3/12 00 3E 83", "G3/12"}));
  transfer(kSpaceRead, 0xFFF8, 8, 8);  // ends the lower bank: reads go upper now
  EXPECT_EQ(transfer(kSpaceRead, 0xFFF8, 16, 8, false), Log{});  // would run past 128 KB
  EXPECT_EQ(transfer(kSpaceRead, 0xFFF8, 8, 8), (Log{"S3/12 F8 FF 98", "G3/12"}));
  backend.ClearBankFlags();
  EXPECT_EQ(transfer(kSpaceRead, 0x3E00, 3, 8), (Log{"S3/12 00 3E 83", "G3/12"}));
}

TEST_F(BackendTest, WriteBankSwitchesAfterTheChunkThatFillsTheLowerBank) {
  EXPECT_EQ(transfer(kSpaceWrite, 0xFFF8, 1, 8), Log{"S3/12 F8 FF 01 40"});
  EXPECT_FALSE(backend.writeBankFlag());  // 0xFFF9-0xFFFF are still to come
  EXPECT_EQ(transfer(kSpaceWrite, 0xFFF9, 7, 8), Log{"S3/12 F9 FF 07 40 41 42 43 44 45 46"});
  EXPECT_EQ(transfer(kSpaceWrite, 0x1000, 1, 1, false), Log{});  // 1 byte under 0x18
  EXPECT_EQ(transfer(kSpaceWrite, 0x1000, 8, 8), Log{"S3/12 00 10 18 40 41 42 43 44 45 46 47"});
  backend.ClearBankFlags();
  EXPECT_EQ(transfer(kSpaceWrite, 0x1000, 1, 8), Log{"S3/12 00 10 01 40"});
}

struct Refusal {
  std::uint8_t space;
  std::uint32_t address;
  std::size_t length;
  std::uint32_t chunk;
};

class Refusals : public BackendTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(Refusals, SendNothing) {
  const auto& c = GetParam();
  EXPECT_EQ(transfer(c.space, c.address, c.length, c.chunk, false), Log{});
  EXPECT_EQ(backend.channel().last_error, -EINVAL);
}

INSTANTIATE_TEST_SUITE_P(Transfers, Refusals,
                         ::testing::Values(Refusal{8, 0, 8, 8},             // no such space
                                           Refusal{0, 0, 8, 8},             //
                                           Refusal{7, 0xFFFC, 16, 8},       // chunk across 0x10000
                                           Refusal{7, 0xFFFF, 3, 1},        // a run of 1-byte GETs under 0x98
                                           Refusal{9, 0xFFF8, 16, 8},       // space 9 would wrap
                                           Refusal{6, 0xFFF8, 12, 8},       // 4 bytes under 0x18
                                           Refusal{6, 0xFFFC, 8, 4},        //
                                           Refusal{7, 0x0000, 0x20001, 8})  // past the upper bank
);

TEST_F(BackendTest, FailuresStopTheTransferButARunSetUpIsNotLookedAt) {
  camera->failRequest(camera->requestCount() + 1);
  EXPECT_EQ(transfer(kSpaceRead, 0x0000, 16, 8), (Log{"S3/12 00 00 88 !", "G3/12", "G3/12"}));
  camera->failRequest(camera->requestCount() + 2);
  EXPECT_EQ(transfer(kSpaceRead, 0x0000, 16, 8, false), (Log{"S3/12 00 00 88", "G3/12 !"}));
  EXPECT_EQ(buffer, Bytes(16, 0xFF));
  camera->failRequest(camera->requestCount() + 1);
  EXPECT_EQ(transfer(kSpaceRead, 0x0000, 4, 8, false), Log{"S3/12 00 00 84 !"});
  camera->failRequest(camera->requestCount() + 1);
  EXPECT_EQ(transfer(kSpaceWrite, 0x0003, 16, 8, false).size(), 1u);
}

TEST_F(BackendTest, Space9TakesNoMoreThanWantedWhateverTheAnswerClaims) {
  for (auto [claimed, expected] :
       {std::pair{200, Bytes{0xAB, 0xAB, 0xAB}}, std::pair{1, Bytes{0xAB, 0xFF, 0xFF}}}) {
    camera->setResponder([claimed](const ControlRequest& request) {
      if (request.op() == XuOp::Get) {
        request.payload[2] = static_cast<std::uint8_t>(claimed);
        std::fill(request.payload.begin() + 3, request.payload.end(), 0xAB);
      }
      return 0;
    });
    transfer(kSpaceRead9, 0x0000, 3, 8);
    EXPECT_EQ(buffer, expected);
  }
}

TEST_F(BackendTest, SingleRequestEntriesSendTheirPayloads) {
  camera->setResponder([](const ControlRequest& request) {
    for (std::size_t i = 0; request.op() == XuOp::Get && i < request.payload.size(); ++i)
      request.payload[i] = static_cast<std::uint8_t>(0x10 + i);
    return 0;
  });
  std::uint8_t value = 0;
  std::uint16_t word = 0;
  EXPECT_TRUE(backend.BeWriteRegister(3, 0x1234, 0x1AB));
  EXPECT_TRUE(backend.BeReadRegister(0, 0x03C5, value));
  EXPECT_EQ(value, 0x12);
  EXPECT_TRUE(backend.BeReadInfoByte(0, value));
  EXPECT_EQ(value, 0x12);
  EXPECT_TRUE(backend.BeReadInfoWord(0, word));
  EXPECT_EQ(word, 0x1110);
  EXPECT_TRUE(backend.BeFlashCommandC8(0));
  EXPECT_TRUE(backend.BeFlashCommand40(0, 0x5A, 0xBEEF));
  EXPECT_EQ(describe(camera->requests()),
            (Log{"S1/4 34 12 AB", "S1/4 C5 03 00 FF", "G1/4", "G5/12", "G5/12", "S3/12 00 00 C8",
                 "S3/12 00 00 40 5A EF BE"}));
  EXPECT_EQ(camera->requests()[0].node_id, 1u);  // the lookup found nothing: node 1

  camera->failAll(-EPIPE);
  value = 0x77;
  EXPECT_FALSE(backend.BeReadRegister(0, 0x101F, value));
  EXPECT_EQ(value, 0x77);
  EXPECT_EQ(camera->requests().size(), 8u);  // no GET after the refused SET
  EXPECT_EQ(backend.channel().last_error, -EPIPE);
}

TEST_F(BackendTest, MultiEntriesUseTheSelector2LayoutAndRefuseOversizedCounts) {
  camera->setResponder(nullptr);
  camera->queueAnswer({0, 0, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5});
  Bytes data{0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
  EXPECT_TRUE(backend.BeWriteMulti(0x42, 0x23, data));  // format 2, count 3: five bytes
  EXPECT_TRUE(backend.BeReadMulti(0x43, 0x24, data));   // format 2, count 4: six bytes
  EXPECT_EQ(data, (Bytes{0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xA7}));
  EXPECT_EQ(describe(camera->requests()),
            (Log{"S2/8 42 23 A1 A2 A3 A4 A5", "S2/8 43 24 A1 A2 00 00 00 FF", "G2/8"}));

  Bytes one{0x01};
  EXPECT_FALSE(backend.BeWriteMulti(0, 0x05, data));  // six bytes do not fit a write
  EXPECT_FALSE(backend.BeReadMulti(0, 0x25, data));   // seven do not fit a read
  EXPECT_FALSE(backend.BeWriteMulti(0, 0x01, one));   // two wanted, one given
  EXPECT_FALSE(backend.BeReadMulti(0, 0x20, one));
  EXPECT_EQ(camera->requests().size(), 3u);
}

TEST_F(BackendTest, CloseReleasesTheDeviceAndKeepsThePath) {
  EXPECT_TRUE(backend.BeClose(0));
  EXPECT_TRUE(backend.BeClose(0));
  EXPECT_EQ(backend.BeGetDevicePath(), "/dev/video7");
  EXPECT_EQ(camera.use_count(), 2);  // list and test only
  EXPECT_EQ(transfer(kSpaceRead, 0, 8, 8, false), Log{});
  EXPECT_EQ(backend.channel().last_error, -ENODEV);
}

}  // namespace
}  // namespace emberline::device
