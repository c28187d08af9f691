#include <algorithm>
#include <limits>
#include <mutex>

#include "description_writer.h"
#include "framework.h"
#include "framework_support.h"
#include "operation.h"

namespace kelmorrow {
namespace {

const char kDefaultLicense[] = "kelmorrow simulated configuration library";

}  // namespace

HRESULT Framework::SaveConfiguration() {
  return Run("SaveConfiguration", nullptr, [&]() -> HRESULT {
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    Library::Instance().state().saved = true;
    return platform::kS_OK;
  });
}

HRESULT Framework::SetTraceLevel(std::int32_t enabled, std::uint32_t level) {
  return Run("SetTraceLevel", nullptr, [&]() -> HRESULT {
    if (!IsFlag(enabled) || level > 4) return platform::kE_INVALIDARG;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    Library::Instance().state().traceEnabled = enabled != 0;
    Library::Instance().state().traceLevel = level;
    return platform::kS_OK;
  });
}

HRESULT Framework::GetLicenseState(std::int32_t* licensed, BSTR* text, BSTR* detail) {
  Clear(licensed);
  Clear(text);
  Clear(detail);
  return Run("GetLicenseState", detail, [&]() -> HRESULT {
    if (licensed == nullptr || text == nullptr) {
      return FailWithDetail(platform::kE_POINTER, detail, "a required argument is null");
    }
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    const Model& model = Library::Instance().state().model;
    *text = (model.licenseText.empty() ? Bstr(kDefaultLicense) : Bstr(model.licenseText)).Detach();
    *licensed = model.licensed ? 1 : 0;
    return platform::kS_OK;
  });
}

HRESULT Framework::ImportConfiguration(morrowkit::IqvSysPropertyBag** settings, BSTR* source, BSTR* detail) {
  Clear(settings);
  Clear(source);
  Clear(detail);
  return Run("ImportConfiguration", detail, [&]() -> HRESULT {
    if (settings == nullptr || source == nullptr) {
      return FailWithDetail(platform::kE_POINTER, detail, "a required argument is null");
    }
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    const Model& model = Library::Instance().state().model;
    Bstr name(model.sourceName);
    HRESULT result = HandBag(model.settings, settings);
    if (platform::Failed(result)) {
      return FailWithDetail(result, detail, "the settings record refuses the property-bag interface");
    }
    *source = name.Detach();
    return platform::kS_OK;
  });
}

HRESULT Framework::ExportConfiguration(std::int32_t* complete, BSTR* text, BSTR* detail) {
  Clear(complete);
  Clear(text);
  Clear(detail);
  return Run("ExportConfiguration", detail, [&]() -> HRESULT {
    if (complete == nullptr || text == nullptr) {
      return FailWithDetail(platform::kE_POINTER, detail, "a required argument is null");
    }
    bool exact = true;
    std::string written;
    {
      std::lock_guard<std::mutex> lock(Library::Instance().mutex());
      written = WriteDescription(Library::Instance().state().model, exact);
    }
    *text = Bstr(written).Detach();
    *complete = exact ? 1 : 0;
    return platform::kS_OK;
  });
}

HRESULT Framework::GetErrorCount(std::uint32_t* count) {
  Clear(count);
  return Run("GetErrorCount", nullptr, [&]() -> HRESULT {
    if (count == nullptr) return platform::kE_POINTER;
    std::uint64_t failures = Library::Instance().control().Failures();
    *count = static_cast<std::uint32_t>(std::min<std::uint64_t>(failures, std::numeric_limits<std::uint32_t>::max()));
    return platform::kS_OK;
  });
}

HRESULT Framework::GetReport(BSTR* report, BSTR* detail) {
  Clear(report);
  Clear(detail);
  return Run("GetReport", detail, [&]() -> HRESULT {
    if (report == nullptr) return FailWithDetail(platform::kE_POINTER, detail, "a required argument is null");
    Library& library = Library::Instance();
    std::string text = std::string(kDefaultLicense) + "\nframework flags: " + (flag1_ ? "1" : "0") + " " +
                       (flag2_ ? "1" : "0") + "\n";
    {
      std::lock_guard<std::mutex> lock(library.mutex());
      const LibraryState& state = library.state();
      text += "trace: " + (state.traceEnabled ? "level " + std::to_string(state.traceLevel) : std::string("off")) +
              "\nconfiguration: " + (state.saved ? "saved" : "modified") + "\n";
    }
    text += "failed calls: " + std::to_string(library.control().Failures()) + "\ncalls:\n";
    for (const auto& [operation, calls] : library.control().CallCounts()) {
      text += "  " + operation + " " + std::to_string(calls) + "\n";
    }
    *report = Bstr(text).Detach();
    return platform::kS_OK;
  });
}

}  // namespace kelmorrow
