#pragma once
// An enumerator over a fixed list taken at creation, with its own position.
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "morrowkit/interfaces.h"
#include "operation.h"
#include "ref_count.h"

namespace kelmorrow {

// Traits: Interface, Item (what is kept), Out (what Next hands out),
// Hand(item, out) (may throw std::bad_alloc), Undo(out), Iid().
template <class Traits>
class Enumerator final : public Traits::Interface {
 public:
  using Interface = typename Traits::Interface;
  using Item = typename Traits::Item;
  using Out = typename Traits::Out;

  // One reference, owned by the caller.
  static Enumerator* Create(std::vector<Item> items, std::size_t position = 0) {
    return new Enumerator(std::move(items), position);
  }

  HRESULT QueryInterface(const morrowkit::Iid& iid, void** object) override {
    return AnswerQuery(object, [&]() -> morrowkit::IUnknown* {
      return iid == morrowkit::kIID_IUnknown || iid == Traits::Iid() ? this : nullptr;
    });
  }
  std::uint32_t AddRef() override { return refs_.Add(); }
  std::uint32_t Release() override {
    std::uint32_t left = refs_.Drop();
    if (left == 0) delete this;
    return left;
  }

  // COM rules: `fetched` may be null only when count is 1; S_FALSE when
  // fewer than `count` items were left.
  HRESULT Next(std::uint32_t count, Out* out, std::uint32_t* fetched) override {
    if (out != nullptr) {
      for (std::uint32_t i = 0; i < count; ++i) out[i] = Out{};
    }
    Clear(fetched);
    return RunOperation("Next", nullptr, [&]() -> HRESULT {
      if (out == nullptr) return platform::kE_POINTER;
      if (fetched == nullptr && count != 1) return platform::kE_INVALIDARG;
      std::lock_guard<std::mutex> lock(mutex_);
      std::uint32_t handed = 0;
      try {
        for (; handed < count && position_ < items_.size(); ++handed, ++position_) {
          Traits::Hand(items_[position_], out[handed]);
        }
      } catch (...) {
        for (std::uint32_t i = 0; i < handed; ++i) Traits::Undo(out[i]);
        position_ -= handed;
        throw;
      }
      if (fetched != nullptr) *fetched = handed;
      return handed == count ? platform::kS_OK : platform::kS_FALSE;
    });
  }

  HRESULT Skip(std::uint32_t count) override {
    return RunOperation("Skip", nullptr, [&]() -> HRESULT {
      std::lock_guard<std::mutex> lock(mutex_);
      std::size_t left = items_.size() - position_;
      if (count > left) {
        position_ = items_.size();
        return platform::kS_FALSE;
      }
      position_ += count;
      return platform::kS_OK;
    });
  }

  HRESULT Reset() override {
    return RunOperation("Reset", nullptr, [&]() -> HRESULT {
      std::lock_guard<std::mutex> lock(mutex_);
      position_ = 0;
      return platform::kS_OK;
    });
  }

  HRESULT Clone(Interface** copy) override {
    Clear(copy);
    return RunOperation("Clone", nullptr, [&]() -> HRESULT {
      if (copy == nullptr) return platform::kE_POINTER;
      std::lock_guard<std::mutex> lock(mutex_);
      *copy = Create(items_, position_);
      return platform::kS_OK;
    });
  }

 private:
  Enumerator(std::vector<Item> items, std::size_t position) : items_(std::move(items)), position_(position) {}
  ~Enumerator() = default;

  RefCount refs_;
  std::mutex mutex_;
  const std::vector<Item> items_;
  std::size_t position_;
};

}  // namespace kelmorrow
