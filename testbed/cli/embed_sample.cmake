# cmake -DINPUT=<json> -DOUTPUT=<cpp> -P embed_sample.cmake
# Embeds the sample hardware description as kronel_names::kSampleDescription.
file(READ ${INPUT} text)
if(text MATCHES "\\)kronel_sample\"")
  message(FATAL_ERROR "${INPUT} holds the raw string's closing delimiter")
endif()
file(WRITE ${OUTPUT}.tmp "// Generated from ${INPUT} by embed_sample.cmake.
#include \"sample_description.h\"

namespace kronel_names {

const char kSampleDescription[] = R\"kronel_sample(${text})kronel_sample\";

}  // namespace kronel_names
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
