#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/fake_enumerators.h"
#include "framework_fixture.h"
#include "morrowkit/framework/cqv_notification_handler.h"
#include "support.h"

namespace {
bool fail_nothrow_new = false;
}  // namespace

// Lets a test make the notifier's allocation fail.
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  if (fail_nothrow_new) return nullptr;
  try {
    return ::operator new(bytes);
  } catch (...) {
    return nullptr;
  }
}

namespace morrowkit::test {
namespace {

using Notifier = CKelComObject<CqvNotificationHandler>;

ComPtr<IqvSysNotificationHandler> MakeNotifier() {
  Notifier* notifier = nullptr;
  EXPECT_EQ(Notifier::CreateInstance(&notifier), platform::kS_OK);
  return ComPtr<IqvSysNotificationHandler>(notifier);
}

// A wrapped object that counts how many of it are alive.
struct Probe : IqvSysNotificationHandler, virtual CKelComObjectRootEx<CKelComMultiThreadModelNoCS> {
  using Interface = IqvSysNotificationHandler;
  static constexpr Iid kInterfaceId = kIID_IqvSysNotificationHandler;
  Probe() { ++alive; }
  virtual ~Probe() { --alive; }
  HRESULT OnConfigurationChanged(void*, std::uint32_t, IqvSysEnumString*) override { return platform::kS_OK; }
  static inline int alive = 0;
};

// The wrapper: count from 0, self-deletion at 0, the two ids it answers.
TEST(CKelComObjectTest, CountsFromZeroAndDeletesItselfAtZero) {
  CKelComObject<Probe>* probe = nullptr;
  ASSERT_EQ(CKelComObject<Probe>::CreateInstance(&probe), platform::kS_OK);
  EXPECT_EQ(Probe::alive, 1);
  EXPECT_EQ(probe->AddRef(), 1u);
  EXPECT_EQ(probe->AddRef(), 2u);
  EXPECT_EQ(probe->Release(), 1u);
  EXPECT_EQ(Probe::alive, 1);
  EXPECT_EQ(probe->Release(), 0u);
  EXPECT_EQ(Probe::alive, 0);
}

TEST(CKelComObjectTest, AnswersIUnknownAndTheHandlerIdWithOnePointer) {
  const ComPtr<IqvSysNotificationHandler> notifier = MakeNotifier();
  void* as_unknown = nullptr;
  void* as_handler = nullptr;
  ASSERT_EQ(notifier->QueryInterface(kIID_IUnknown, &as_unknown), platform::kS_OK);
  ASSERT_EQ(notifier->QueryInterface(kIID_IqvSysNotificationHandler, &as_handler), platform::kS_OK);
  EXPECT_EQ(as_unknown, static_cast<void*>(notifier.Get()));
  EXPECT_EQ(as_handler, as_unknown);
  EXPECT_EQ(notifier->Release(), 2u);
  EXPECT_EQ(notifier->Release(), 1u);
}

TEST(CKelComObjectTest, RefusesOtherIdsAndNullOut) {
  const ComPtr<IqvSysNotificationHandler> notifier = MakeNotifier();
  void* object = &object;
  EXPECT_EQ(notifier->QueryInterface(kIID_IqvSysPropertyBag, &object), platform::kE_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(notifier->QueryInterface(kIID_IUnknown, nullptr), platform::kE_POINTER);
  EXPECT_EQ(notifier->AddRef(), 2u);
  EXPECT_EQ(notifier->Release(), 1u);
}

using NotifierCreationTest = FrameworkFixture;

TEST_F(NotifierCreationTest, FailureThrowsThePlainHResult) {
  struct : FrameworkNotificationHandler {
    void OnNotification(std::uint32_t, const std::vector<std::string>&) override {}
  } receiver;
  fail_nothrow_new = true;
  long thrown = 0;
  try {
    handle_->RegisterNotifications("a", &receiver);
  } catch (long code) {
    thrown = code;
  }
  fail_nothrow_new = false;
  EXPECT_EQ(thrown, static_cast<long>(platform::kE_OUTOFMEMORY));
  EXPECT_EQ(framework_.calls, 0);
}

// OnConfigurationChanged, step by step.
struct Receiver : FrameworkNotificationHandler {
  void OnNotification(std::uint32_t kind, const std::vector<std::string>& names) override {
    ++calls;
    last_kind = kind;
    last_names = names;
    if (failure) failure();
  }
  int calls = 0;
  std::uint32_t last_kind = 0;
  std::vector<std::string> last_names;
  void (*failure)() = nullptr;
};

class OnConfigurationChangedTest : public ::testing::Test {
 protected:
  HRESULT Notify(std::vector<std::optional<platform::WideString>> texts) {
    FakeStringEnum names(std::move(texts));
    const HRESULT result = notifier_->OnConfigurationChanged(&receiver_, kChangeRecordsReplaced, &names);
    EXPECT_EQ(names.references, 0u);
    return result;
  }

  ComPtr<IqvSysNotificationHandler> notifier_ = MakeNotifier();
  Receiver receiver_;
};

TEST_F(OnConfigurationChangedTest, NullContextReturnsSFalse) {
  FakeStringEnum names({Wide(u"a")});
  EXPECT_EQ(notifier_->OnConfigurationChanged(nullptr, 1, &names), platform::kS_FALSE);
  EXPECT_EQ(receiver_.calls, 0);
}

// A change whose names cannot be read is still a change: the receiver hears
// of it without names, and the library is told of the failure.
TEST_F(OnConfigurationChangedTest, NamesThatCannotBeReadStillReachTheReceiver) {
  EXPECT_EQ(notifier_->OnConfigurationChanged(&receiver_, 1, nullptr), platform::kE_POINTER);
  EXPECT_EQ(receiver_.calls, 1);
  FakeStringEnum names({Wide(u"a")});
  names.out_of_memory = true;
  EXPECT_EQ(notifier_->OnConfigurationChanged(&receiver_, 1, &names), platform::kE_FAIL);
  EXPECT_EQ(receiver_.calls, 2);
  EXPECT_TRUE(receiver_.last_names.empty());
}

TEST_F(OnConfigurationChangedTest, NoNamesStillReachTheReceiver) {
  EXPECT_EQ(Notify({}), platform::kS_OK);
  EXPECT_EQ(receiver_.calls, 1);
  EXPECT_EQ(receiver_.last_kind, static_cast<std::uint32_t>(kChangeRecordsReplaced));
  EXPECT_TRUE(receiver_.last_names.empty());
}

TEST_F(OnConfigurationChangedTest, NamesArriveInUtf8AndInOrder) {
  EXPECT_EQ(Notify({Wide(u"Rack1Slot2"), std::nullopt, Wide(u"\u00e9t\u00e9")}), platform::kS_OK);
  EXPECT_EQ(receiver_.last_names, (std::vector<std::string>{"Rack1Slot2", "", "\xC3\xA9t\xC3\xA9"}));
}

TEST_F(OnConfigurationChangedTest, NameIsCutAtAZeroUnit) {
  platform::WideString name = Wide(u"dev");
  name.push_back(0);
  name += Wide(u"tail");
  EXPECT_EQ(Notify({name}), platform::kS_OK);
  EXPECT_EQ(receiver_.last_names, std::vector<std::string>{"dev"});
}

// A failing receiver reaches the library as an HRESULT, never as an exception.
TEST_F(OnConfigurationChangedTest, ReceiverHResultExceptionBecomesItsCode) {
  receiver_.failure = [] { throw HResultException(platform::kE_FAIL, {kFrameworkHandleFile, 1, kComponent}); };
  EXPECT_EQ(Notify({}), platform::kE_FAIL);
  receiver_.failure = [] { throw InvalidArgException({kFrameworkHandleFile, 1, kComponent}); };
  EXPECT_EQ(Notify({}), platform::kE_INVALIDARG);
}

TEST_F(OnConfigurationChangedTest, OtherReceiverExceptionsBecomeEFail) {
  receiver_.failure = [] { throw std::runtime_error("lost"); };
  EXPECT_EQ(Notify({}), platform::kE_FAIL);
  receiver_.failure = [] { throw 42; };
  EXPECT_EQ(Notify({}), platform::kE_FAIL);
}

}  // namespace
}  // namespace morrowkit::test
