#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/station/sha256.h"

namespace emberline::station {
namespace {

std::string digestOf(const std::string& text) {
  return sha256Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// Published test vectors, chosen to cross the padding's one- and two-block cases.
TEST(Sha256Test, MatchesPublishedVectors) {
  EXPECT_EQ(digestOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(digestOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(digestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(digestOf(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace emberline::station
