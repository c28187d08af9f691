#include <algorithm>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <limits>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>

#include "description_loader.h"
#include "handler_refs.h"
#include "kelsim.h"
#include "library.h"
#include "ref_count.h"

namespace {

using kelmorrow::Library;

void WriteError(char* error, size_t errorSize, const std::string& message) {
  if (error == nullptr || errorSize == 0) return;
  size_t length = std::min(message.size(), errorSize - 1);
  std::memcpy(error, message.data(), length);
  error[length] = '\0';
}

// Runs a control call; exceptions become -1 and a message.
template <class Body>
int32_t Control(char* error, size_t errorSize, Body&& body) {
  WriteError(error, errorSize, std::string());
  try {
    body();
    return 0;
  } catch (const std::bad_alloc&) {
    WriteError(error, errorSize, "out of memory");
  } catch (const std::exception& failure) {
    WriteError(error, errorSize, failure.what());
  }
  return -1;
}

std::string SourceOr(const char* source, const char* fallback) { return source != nullptr ? source : fallback; }

int32_t Refuse(char* error, size_t errorSize, const char* message) {
  WriteError(error, errorSize, message);
  return -1;
}

// `inject` answers false for a name that is no operation.
template <class Inject>
int32_t InjectFailure(const char* operation, char* error, size_t errorSize, Inject&& inject) {
  return Control(error, errorSize, [&] {
    if (operation != nullptr && std::strcmp(operation, kelmorrow::kCallbackOperation) == 0) {
      throw std::invalid_argument("OnConfigurationChanged is the handler's: it can be delayed, not failed");
    }
    if (operation == nullptr || !inject(Library::Instance().control())) {
      throw std::invalid_argument("unknown operation \"" + SourceOr(operation, "") + "\"");
    }
  });
}

}  // namespace

extern "C" {

void kelsimReset(void) { Library::Instance().Reset(); }

void kelsimShutdown(void) { Library::Instance().Shutdown(); }

int32_t kelsimLoadFile(const char* path, char* error, size_t errorSize) {
  return Control(error, errorSize, [&] {
    if (path == nullptr) throw std::invalid_argument("no file given");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error(std::string(path) + ": cannot be opened");
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) throw std::runtime_error(std::string(path) + ": cannot be read");
    Library::Instance().Load(kelmorrow::LoadDescription(text.str(), path));
  });
}

int32_t kelsimLoadText(const char* text, const char* sourceName, char* error, size_t errorSize) {
  return Control(error, errorSize, [&] {
    if (text == nullptr) throw std::invalid_argument("no text given");
    Library::Instance().Load(kelmorrow::LoadDescription(text, SourceOr(sourceName, "<text>")));
  });
}

int32_t kelsimSetProfile(const char* profileJson, char* error, size_t errorSize) {
  return Control(error, errorSize, [&] {
    if (profileJson == nullptr) throw std::invalid_argument("no profile given");
    Library::Instance().SetProfile(kelmorrow::LoadProfile(profileJson, "<profile>"));
  });
}

int32_t kelsimChangeProfile(const char* profileJson, char* error, size_t errorSize) {
  return Control(error, errorSize, [&] {
    if (profileJson == nullptr) throw std::invalid_argument("no profile given");
    Library::Instance().ChangeProfile(profileJson, "<profile>");
  });
}

void kelsimRestartService(void) { Library::Instance().RestartService(); }

int32_t kelsimApplyChange(const char* target, const char* changeJson, const char* sourceName, char* error,
                          size_t errorSize) {
  return Control(error, errorSize, [&] {
    if (target == nullptr || changeJson == nullptr) throw std::invalid_argument("no target or change given");
    std::string source = SourceOr(sourceName, "<change>");
    Library::Instance().ApplyChange(target, kelmorrow::LoadChange(changeJson, source), source);
  });
}

int32_t kelsimApplyChangeDuring(const char* operation, const char* target, const char* changeJson,
                                const char* sourceName, char* error, size_t errorSize) {
  return Control(error, errorSize, [&] {
    if (operation == nullptr || !kelmorrow::OperationControl::IsKnown(operation)) {
      throw std::invalid_argument("unknown operation \"" + SourceOr(operation, "") + "\"");
    }
    if (target == nullptr || changeJson == nullptr) throw std::invalid_argument("no target or change given");
    std::string source = SourceOr(sourceName, "<change>");
    Library::Instance().ApplyChangeDuring(operation, target, kelmorrow::LoadChange(changeJson, source),
                                          source);
  });
}

int32_t kelsimWaitIdle(uint32_t timeoutMs) { return Library::Instance().notifier().WaitIdle(timeoutMs) ? 1 : 0; }

int32_t kelsimSetLatency(const char* operation, uint32_t milliseconds, char* error, size_t errorSize) {
  return Control(error, errorSize, [&] {
    if (operation == nullptr || !Library::Instance().control().SetLatency(operation, milliseconds)) {
      throw std::invalid_argument("unknown operation \"" + SourceOr(operation, "") + "\"");
    }
  });
}

int32_t kelsimSetFailure(const char* operation, uint32_t nth, int32_t result, char* error, size_t errorSize) {
  return InjectFailure(operation, error, errorSize, [&](kelmorrow::OperationControl& control) {
    return control.SetFailure(operation, nth, static_cast<HRESULT>(result));
  });
}

int32_t kelsimSetFailureRun(const char* operation, uint32_t count, int32_t result, char* error, size_t errorSize) {
  if (count == 0) return Refuse(error, errorSize, "a run of failures needs a count of 1 or more");
  return InjectFailure(operation, error, errorSize, [&](kelmorrow::OperationControl& control) {
    return control.SetFailureRun(operation, count, static_cast<HRESULT>(result));
  });
}

int32_t kelsimSetFailureFor(const char* operation, uint32_t milliseconds, int32_t result, char* error,
                            size_t errorSize) {
  if (milliseconds == 0) return Refuse(error, errorSize, "a failure for a while needs 1 ms or more");
  return InjectFailure(operation, error, errorSize, [&](kelmorrow::OperationControl& control) {
    return control.SetFailureFor(operation, milliseconds, static_cast<HRESULT>(result));
  });
}

void kelsimClearFailures(void) { Library::Instance().control().ClearFailures(); }

uint64_t kelsimCallCount(const char* operation) {
  if (operation == nullptr || !kelmorrow::OperationControl::IsKnown(operation)) {
    return std::numeric_limits<uint64_t>::max();
  }
  return Library::Instance().control().Calls(operation);
}

uint64_t kelsimFailureCount(void) { return Library::Instance().control().Failures(); }

uint64_t kelsimLiveObjects(void) { return kelmorrow::RefCount::LiveObjects(); }

uint64_t kelsimOutstandingReferences(void) { return kelmorrow::RefCount::OutstandingReferences(); }

int32_t kelsimHasHandler(const char* target) {
  return target != nullptr && Library::Instance().notifier().HasHandler(target) ? 1 : 0;
}

uint64_t kelsimRegistrations(void) { return Library::Instance().notifier().RegistrationCount(); }

uint64_t kelsimHandlerReferences(void) { return kelmorrow::HandlerReferences(); }

uint64_t kelsimLastReleasesOnLibraryThreads(void) { return kelmorrow::LastReleasesOnLibraryThreads(); }

uint64_t kelsimDeliveredNotifications(void) { return Library::Instance().notifier().Delivered(); }

uint64_t kelsimDroppedNotifications(void) { return Library::Instance().notifier().Dropped(); }

int32_t kelsimLastHandlerResult(void) { return static_cast<int32_t>(Library::Instance().notifier().LastResult()); }

}  // extern "C"
