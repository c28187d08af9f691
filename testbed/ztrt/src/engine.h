#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "fault_plan.h"
#include "handle_table.h"
#include "hostbind/host_types.h"
#include "system_encoding.h"
#include "variant.h"

namespace ztrt {

// The simulated run-time engine: one per process, every operation under one
// mutex. Control results and non-zero host statuses are the ZTRTSIM_ERR_ codes.
class Engine {
 public:
  static Engine& Instance();

  Engine() = default;
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The host functions.
  hostbind::MgErr TargetURL(std::uint32_t appRef, hostbind::LStrHandle* url) noexcept;
  hostbind::UHandle NewHandleClr(std::size_t size) noexcept;
  hostbind::MgErr SetStringAttr(hostbind::ZtVariantPtr* element, hostbind::PStr name,
                                hostbind::LStrHandle value) noexcept;
  hostbind::MgErr SetUI32Attr(hostbind::ZtVariantPtr* element, hostbind::PStr name, std::uint32_t value) noexcept;
  hostbind::MgErr StringFromBytes(hostbind::LStrHandle* slot, std::int32_t length, const unsigned char* bytes) noexcept;
  hostbind::MgErr ConvertToSystem(hostbind::LStrHandle utf8, hostbind::LStrHandle* system) noexcept;
  hostbind::MgErr DisposeHandle(hostbind::UHandle handle) noexcept;

  // Control.
  void Reset() noexcept;
  int SetTargetUrl(std::uint32_t appRef, std::string_view bytes) noexcept;
  int SetTargetUrlNull(std::uint32_t appRef) noexcept;
  int SetTargetUrlFailure(std::uint32_t appRef, std::int32_t status) noexcept;
  int RemoveTargetUrl(std::uint32_t appRef) noexcept;
  void SetEncoding(SystemEncoding encoding) noexcept;
  SystemEncoding Encoding() noexcept;
  void FailCall(Function function, std::uint32_t nth, std::int32_t status) noexcept;
  void ClearFailures() noexcept;
  std::int64_t Calls(Function function) noexcept;
  std::int64_t LiveHandles() noexcept;
  std::int64_t LiveVariants() noexcept;
  std::int64_t RejectedDisposals() noexcept;
  std::int64_t HandleSize(const void* handle) noexcept;

  // Name lists.
  std::int32_t ListCount(const void* list) noexcept;
  std::int32_t ListCapacity(const void* list) noexcept;
  std::int32_t ListElementAttrCount(const void* list, std::int32_t index) noexcept;
  int ListAttrName(const void* list, std::int32_t index, std::int32_t position, std::string& name) noexcept;
  int ListStringAttr(const void* list, std::int32_t index, std::string_view name, std::string& value) noexcept;
  int ListUI32Attr(const void* list, std::int32_t index, std::string_view name, std::uint32_t& value) noexcept;
  int DisposeNameList(const void* list) noexcept;

 private:
  enum class UrlKind { Url, Null, Failure };
  struct UrlEntry {
    UrlKind kind;
    void** handle;
    std::int32_t status;
  };

  int SetUrlEntry(std::uint32_t appRef, const UrlEntry& entry) noexcept;
  bool ReadString(const void* handle, std::string_view& bytes) const noexcept;
  hostbind::MgErr StoreString(hostbind::LStrHandle* slot, std::string_view bytes) noexcept;
  hostbind::MgErr SetAttribute(Function function, hostbind::ZtVariantPtr* element, hostbind::PStr name,
                               hostbind::LStrHandle text, std::uint32_t number) noexcept;
  int FindAttribute(const void* list, std::int32_t index, std::string_view name,
                    const Variant::Attribute*& attribute) noexcept;

  std::mutex mutex_;
  HandleTable handles_;
  VariantStore variants_;
  FaultPlan faults_;
  std::unordered_map<std::uint32_t, UrlEntry> urls_;
  SystemEncoding encoding_ = SystemEncoding::Utf8;
  std::int64_t rejectedDisposals_ = 0;
};

}  // namespace ztrt
