#include <algorithm>
#include <string>

#include "kelsim.h"
#include "road.h"
#include "ztrtsim.h"

namespace road {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

std::string Device(const std::string& name) {
  return R"({"status": 1, "modelCode": 28774, "resourceName": ")" + name + R"("})";
}

std::string Local(const std::string& records) { return R"({"targets": {"": {"records": [)" + records + "]}}}"; }

// Letters and "é" (two bytes), so that the name is not one repeated byte.
std::string LongName(std::size_t bytes) {
  std::string name;
  name.reserve(bytes);
  for (std::size_t i = 0; name.size() + 2 <= bytes; ++i) {
    if (i % 7 == 6) {
      name += "\xC3\xA9";
    } else {
      name += static_cast<char>('a' + i % 26);
    }
  }
  if (name.size() < bytes) name += 'z';
  return name;
}

// The same text in Windows-1252.
std::string As1252(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8.compare(i, 2, "\xC3\xA9") == 0) {
      out += '\xE9';
      ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

using LargeTest = RoadTest;

TEST_F(LargeTest, OneMebibyteNameArrivesWhole) {
  const std::string name = LongName(kMiB);
  Load(Local(Device(name) + "," + Device("Z")));
  PollFor(1, Names{"Z", name});
}

TEST_F(LargeTest, OneMebibyteNameArrivesInTheSystemEncoding) {
  const std::string name = LongName(kMiB);
  Load(Local(Device(name)));
  ASSERT_EQ(ztrtsimSetEncoding(ZTRTSIM_ENCODING_WINDOWS_1252), ZTRTSIM_OK);
  PollFor(1, Names{As1252(name)});
}

TEST_F(LargeTest, OneMebibyteHostNameMakesOneUrl) {
  const std::string host = LongName(kMiB);
  Load(Local(R"({"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["network"], "hostName": ")" +
             host + R"("})"));
  PollFor(1, Names{"sync://" + host + "/system"});
}

// Numbers without padding, so byte order differs from the description's order.
TEST_F(LargeTest, HundredThousandRecordsArriveInByteOrder) {
  constexpr int kRecords = 100000;
  std::string records;
  records.reserve(kRecords * 64);
  Names expected;
  expected.reserve(kRecords);
  for (int i = kRecords - 1; i >= 0; --i) {
    const std::string name = "D" + std::to_string(i);
    if (!records.empty()) records += ",";
    records += Device(name);
    expected.push_back(name);
  }
  std::sort(expected.begin(), expected.end());
  Load(Local(records));
  PollFor(1, expected);
  hostbind::UHandle slot = nullptr;
  EXPECT_EQ(Call(1, &slot), kUnchanged);
}

}  // namespace
}  // namespace road
