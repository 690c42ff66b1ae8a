// The trace reader against the lines the writer makes, and against files from
// the field that were cut short, reordered or edited by hand.

#include <gtest/gtest.h>

#include "sim/trace_format.h"

namespace emberline::sim {
namespace {

TracedRequest request(TracedOp op, std::uint32_t selector, std::vector<std::uint8_t> payload, int result = 0) {
  TracedRequest r;
  r.device = "/dev/video2";
  r.node = 4;
  r.selector = selector;
  r.op = op;
  r.payload = std::move(payload);
  r.result = result;
  return r;
}

std::string lines(const std::vector<TracedRequest>& requests) {
  std::string text;
  for (const auto& r : requests) text += formatTraceLine(r) + "\n";
  return text;
}

TEST(TraceFormat, ReadsBackEveryKindOfLineTheWriterMakes) {
  std::vector<TracedRequest> written{
      request(TracedOp::Support, 0, {}),
      request(TracedOp::Length, 3, {0x0C, 0x00}),
      request(TracedOp::Set, 1, {0x1F, 0x10, 0x00, 0xFF}),
      request(TracedOp::Get, 1, {0x1F, 0x10, 0x33, 0xFF}, -71),
  };
  auto driver = request(TracedOp::Get, 0, std::vector<std::uint8_t>(40, 0xAB));
  driver.driver = true;
  driver.node = 0;
  driver.property_set = device::kDriverPropertySetB;
  written.push_back(driver);
  for (std::size_t i = 0; i < written.size(); ++i) written[i].time_us = static_cast<std::int64_t>(i * 10);

  Trace trace;
  std::string error;
  ASSERT_TRUE(parseTrace(lines(written), "t.jsonl", trace, error)) << error;
  ASSERT_EQ(trace.requests.size(), written.size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    const auto& r = trace.requests[i];
    EXPECT_EQ(r.line, i + 1);
    EXPECT_EQ(formatTraceLine(r), formatTraceLine(written[i]));
    EXPECT_EQ(r.property_set, written[i].property_set);
  }
}

TEST(TraceFormat, NamesTheFileAndLineOfWhatIsWrong) {
  const std::string good = formatTraceLine(request(TracedOp::Set, 1, {1, 2, 3, 4})) + "\n";
  const auto edited = [&](const std::string& from, const std::string& to) {
    std::string line = good;
    line.replace(line.find(from), from.size(), to);
    return good + line;
  };
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "t.jsonl: the file is empty"},
      {"\n  \n", "t.jsonl: the file is empty"},
      {good + good.substr(0, 30), "t.jsonl:2: the last line is cut short"},
      {good + "not json\n" + good, "t.jsonl:2: the line is not valid JSON"},
      {good + "[1,2]\n", "t.jsonl:2: is not a JSON object"},
      {good + "{" + std::string(5000, ' ') + "}\n", "t.jsonl:2: the line is longer than 4096"},
      {edited("\"op\":\"SET\"", "\"op\":\"PUT\""), "t.jsonl:2: \"op\" is none of"},
      {edited("\"request\":\"xu\"", "\"request\":\"usb\""), "t.jsonl:2: \"request\" is neither"},
      {edited("\"payload\":\"01020304\"", "\"payload\":\"0102030\""), "odd number of hex digits"},
      {edited("\"payload\":\"01020304\"", "\"payload\":\"010203zz\""), "not a hex digit"},
      {edited("\"payload\":\"01020304\"", "\"payload\":\"" + std::string(1024, 'a') + "\""), "longer than 256 bytes"},
      {edited("\"result\":0", "\"result\":5"), "\"result\" is neither 0 nor"},
      {edited("\"result\":0", "\"result\":\"0\""), "\"result\" is neither 0 nor"},
      {edited("\"node\":4,", ""), "t.jsonl:2: has no \"node\""},
      {edited("\"node\":4", "\"node\":-4"), "\"node\" is not a number"},
      {edited("\"time_us\":0", "\"time_us\":1.5"), "\"time_us\" is not a count"},
      {edited("\"op\":\"SET\",\"payload\":\"01020304\"", "\"op\":\"SUPPORT\",\"payload\":\"01\""),
       "as the unit search's is"},
      {edited("\"op\":\"SET\",\"payload\":\"01020304\"", "\"op\":\"LEN\",\"payload\":\"01\""), "two bytes of a length"},
      {edited("\"request\":\"xu\"", "\"request\":\"driver\",\"property_set\":\"{nope}\""),
       "\"property_set\" is not a GUID"},
      {edited("\"time_us\":0", "\"time_us\":9") + good, "t.jsonl:3: its time_us 0 is earlier than the 9 before it"},
      {"{\n \"checks\": []\n}\n", "not a doctor bundle with a \"trace\" array"},
      {"{\n \"trace\": [1]\n}\n", "t.jsonl: trace entry 1: is not a JSON object"},
      {"{\n \"trace\": []\n}\n", "the bundle's trace holds no requests"},
      {"{\n \"trace\": [\n", "t.jsonl: line 3 is not valid JSON"},
      {"{\"trace\": [{\"node\": 1e999}]}\n", "t.jsonl: holds a number too large to read"},
  };
  for (const auto& c : cases) {
    Trace trace;
    std::string error;
    EXPECT_FALSE(parseTrace(c.text, "t.jsonl", trace, error)) << c.text.substr(0, 200);
    EXPECT_NE(error.find(c.error), std::string::npos) << "got: " << error << "\nwanted: " << c.error;
  }
}

TEST(TraceFormat, TakesABundlesTraceAndAReplayFilesHeader) {
  const auto set = formatTraceLine(request(TracedOp::Set, 1, {1, 2, 3, 4}));
  Trace trace;
  std::string error;
  ASSERT_TRUE(parseTrace("{\n  \"bundle\": \"emberline doctor\",\n  \"trace\": [" + set + ", " + set + "]\n}\n", "b.json",
                         trace, error))
      << error;
  EXPECT_TRUE(trace.bundle);
  EXPECT_EQ(trace.requests.size(), 2u);
  EXPECT_EQ(where(trace, 2), "b.json: trace entry 2");

  ASSERT_TRUE(parseTrace("{\"emberline_replay\":1,\"source\":\"burn.jsonl\"}\n" + set + "\n", "r.sim", trace, error))
      << error;
  EXPECT_EQ(trace.replay_source, "burn.jsonl");
  ASSERT_EQ(trace.requests.size(), 1u);
  EXPECT_EQ(trace.requests[0].line, 2u);
}

TEST(TraceFormat, TakesTheDeviceThatAnsweredMostWhenSeveralAreTraced) {
  auto webcam = request(TracedOp::Support, 0, {}, -2);
  webcam.device = "/dev/video0";
  const auto camera = request(TracedOp::Support, 0, {});
  Trace trace;
  trace.name = "t.jsonl";
  trace.requests = {webcam, webcam, camera, webcam};
  std::vector<TracedRequest> chosen;
  std::string device, error;
  ASSERT_TRUE(requestsOfOneDevice(trace, "", chosen, device, error));
  EXPECT_EQ(device, "/dev/video2");
  EXPECT_EQ(chosen.size(), 1u);
  ASSERT_TRUE(requestsOfOneDevice(trace, "/dev/video0", chosen, device, error));
  EXPECT_EQ(chosen.size(), 3u);
  EXPECT_FALSE(requestsOfOneDevice(trace, "/dev/video9", chosen, device, error));
  EXPECT_EQ(error, "t.jsonl holds no request to /dev/video9 (its devices: /dev/video0, /dev/video2)");
}

}  // namespace
}  // namespace emberline::sim
