#pragma once
// Set-up calls of the simulated configuration library (kelsim.h), each
// failing the running test with the library's message when it is refused,
// and the check that the library holds nothing of its clients any more.
#include <chrono>
#include <cstdint>
#include <string>

namespace test_support::kelsim {

void Load(const std::string& description);
void SetProfile(const std::string& profile);
void ApplyChange(const std::string& target, const std::string& change);
void ApplyChangeDuring(const std::string& operation, const std::string& target, const std::string& change);
void FailCall(const std::string& operation, std::uint32_t nth, std::int32_t result);
// The next `count` calls fail; every call for `milliseconds`.
void FailRun(const std::string& operation, std::uint32_t count, std::int32_t result);
void FailFor(const std::string& operation, std::uint32_t milliseconds, std::int32_t result);
// Only the members given change.
void ChangeProfile(const std::string& profile);
void SetLatency(const std::string& operation, std::uint32_t milliseconds);

// What the library still holds of its clients (objects, references,
// registrations, handlers) or still does for them; empty when nothing.
std::string Leftovers();
bool WaitUntilQuiet(std::chrono::milliseconds patience = std::chrono::seconds(30));
// Fails the running test, naming what is left, unless the library gets quiet.
void ExpectQuiet();

}  // namespace test_support::kelsim
