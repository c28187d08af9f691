#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace ztrt {

// In the order of the control API's function numbers.
enum class Function {
  TargetURL,
  DSNewHClr,
  SetStringAttr,
  SetUI32Attr,
  LStrFromPtr,
  ConvertUtf8ToSystem,
  DSDisposeHandle,
};
constexpr int kFunctionCount = 7;

// Counts the calls of each host function and decides which of them fail.
class FaultPlan {
 public:
  // Arms the nth call from now (1 = the next), or every call when nth is 0.
  void Arm(Function function, std::uint32_t nth, std::int32_t status) noexcept;
  void Disarm() noexcept;
  // Counts the call; true with the status to return when it is to fail.
  bool Call(Function function, std::int32_t& status) noexcept;
  std::int64_t Calls(Function function) const noexcept { return entries_[Index(function)].calls; }
  void Reset() noexcept { entries_ = {}; }

 private:
  struct Entry {
    std::int64_t calls = 0;
    bool armed = false;
    std::uint32_t remaining = 0;  // 0: every call
    std::int32_t status = 0;
  };

  static std::size_t Index(Function function) noexcept { return static_cast<std::size_t>(function); }

  std::array<Entry, kFunctionCount> entries_{};
};

}  // namespace ztrt
