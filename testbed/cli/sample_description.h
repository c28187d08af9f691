#pragma once
// The hardware description served when the user names none; the text of
// testbed/samples/sample-hardware.json, embedded at build time.

namespace kronel_names {

extern const char kSampleDescription[];
constexpr char kSampleSourceName[] = "sample-hardware.json";

}  // namespace kronel_names
