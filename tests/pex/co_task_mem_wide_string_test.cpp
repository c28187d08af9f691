#include "pex/co_task_mem_wide_string.h"

#include <cstdlib>
#include <vector>

#include "pex/exception.h"
#include "test_support.h"

namespace kel {
namespace pex {
namespace {

using test::Raised;
using test::Wide;

// Task memory that records every block size, counts live blocks and can fail.
struct Recorder {
  std::vector<std::size_t> sizes;
  int live = 0;
  bool fail = false;
} recorder;

void* Reallocate(void* block, std::size_t bytes) {
  if (recorder.fail) return nullptr;
  recorder.sizes.push_back(bytes);
  recorder.live += block == nullptr;
  return std::realloc(block, bytes);
}

TaskMemory Recording() {
  TaskMemory memory;
  memory.allocate = [](std::size_t bytes) { return Reallocate(nullptr, bytes); };
  memory.reallocate = Reallocate;
  memory.release = [](void* block) {
    recorder.live -= block != nullptr;
    std::free(block);
  };
  return memory;
}

class CoTaskMemWideStringTest : public testing::Test {
 protected:
  void SetUp() override { recorder = Recorder(); }
  void TearDown() override { EXPECT_EQ(recorder.live, 0); }
};

platform::WideString TextOf(const CoTaskMemWideString& s) {
  EXPECT_EQ(s.Data()[s.Size()], 0);
  return platform::WideString(s.Data(), s.Size());
}

TEST_F(CoTaskMemWideStringTest, ReallocatesToExactSizes) {
  CoTaskMemWideString s(Recording());
  EXPECT_EQ(s.Size(), 0u);
  const platform::WideString texts[] = {Wide({0x61, 0x62, 0x63}), Wide({0x78}), Wide({0x79, 0x7A})};
  for (const auto& text : texts) {
    s.Assign(text.c_str());
    EXPECT_EQ(TextOf(s), text);
  }
  EXPECT_EQ(recorder.sizes, (std::vector<std::size_t>{2, 8, 4, 6}));
  // One unit into capacity two keeps the buffer.
  const platform::WideChar* before = s.Data();
  s.Assign(texts[1].c_str());
  EXPECT_EQ(s.Data(), before);
  EXPECT_EQ(TextOf(s), texts[1]);
  EXPECT_EQ(recorder.sizes.size(), 4u);
}

TEST_F(CoTaskMemWideStringTest, AssignsFromItsOwnText) {
  CoTaskMemWideString s(Recording());
  s.Assign(Wide({0x61, 0x62, 0x63, 0x64, 0x65}).c_str());
  s.Assign(s.Data(), 2);
  EXPECT_EQ(TextOf(s), Wide({0x61, 0x62, 0x63, 0x64, 0x65}));
  // The tail needs less than half the buffer, yet must survive being moved.
  s.Assign(s.Data() + 3);
  EXPECT_EQ(TextOf(s), Wide({0x64, 0x65}));
  s.Assign(nullptr);
  EXPECT_EQ(TextOf(s), platform::WideString());
}

TEST_F(CoTaskMemWideStringTest, FailuresKeepTheText) {
  CoTaskMemWideString s(Recording());
  s.Assign(Wide({0x61}).c_str());
  const platform::WideChar unit = 0x7A;
  // The size is checked before the text is read.
  EXPECT_STREQ(Raised<OutOfRange>([&] { s.Assign(&unit, std::size_t(0x40000000)); }).file,
               "pex\\CoTaskMemWideString");
  recorder.fail = true;
  EXPECT_STREQ(Raised<BadAllocation>([&] { s.Assign(Wide({0x61, 0x62}).c_str()); }).what(),
               "bad allocation");
  Raised<BadAllocation>([] { CoTaskMemWideString fresh{Recording()}; });
  EXPECT_EQ(TextOf(s), Wide({0x61}));
}

TEST_F(CoTaskMemWideStringTest, BuildsFromBstrAndFreesOnFailure) {
  const platform::WideString text = Wide({0x62, 0x73, 0x74, 0x72});
  BSTR raw = platform::SysAllocString(text.c_str());
  EXPECT_EQ(TextOf(CoTaskMemWideString(raw, Recording())), text);
  EXPECT_EQ(TextOf(CoTaskMemWideString(static_cast<BSTR>(nullptr), Recording())), platform::WideString());
  // The copy fails after the first block exists; TearDown sees it freed.
  TaskMemory failing = Recording();
  failing.reallocate = [](void*, std::size_t) -> void* { return nullptr; };
  Raised<BadAllocation>([&] { CoTaskMemWideString s(raw, failing); });
  platform::SysFreeString(raw);
}

TEST_F(CoTaskMemWideStringTest, DetachAttachAndFree) {
  CoTaskMemWideString s(Recording());
  s.Assign(Wide({0x61, 0x62}).c_str());
  platform::WideChar* raw = s.Detach();
  EXPECT_EQ(s.Data(), nullptr);
  s.Attach(raw);
  EXPECT_EQ(TextOf(s), Wide({0x61, 0x62}));
  s.Free();
  s.Assign(Wide({0x63}).c_str());
  EXPECT_EQ(TextOf(s), Wide({0x63}));
}

}  // namespace
}  // namespace pex
}  // namespace kel
