#pragma once
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "morrowkit/interfaces.h"

namespace morrowkit::test {

constexpr HRESULT kE_NOTIMPL = static_cast<HRESULT>(0x80004001u);

// Counts references but never deletes itself: the test owns the object and
// checks that every reference it handed out came back.
template <class Interface>
class Counted : public Interface {
 public:
  Counted(std::initializer_list<Iid> answers) : answers_(answers) {}

  HRESULT QueryInterface(const Iid& iid, void** object) override {
    if (object == nullptr) return platform::kE_POINTER;
    *object = nullptr;
    if (iid != kIID_IUnknown && !Answers(iid)) return platform::kE_NOINTERFACE;
    *object = static_cast<Interface*>(this);
    AddRef();
    return platform::kS_OK;
  }
  std::uint32_t AddRef() override { return ++references; }
  std::uint32_t Release() override { return --references; }

  std::atomic<std::uint32_t> references{0};

 private:
  bool Answers(const Iid& iid) const {
    for (const Iid& answer : answers_)
      if (answer == iid) return true;
    return false;
  }

  std::vector<Iid> answers_;
};

// An enumerator item that is no property bag.
class FakeItem : public Counted<IUnknown> {
 public:
  FakeItem() : Counted({}) {}
};

}  // namespace morrowkit::test
