// Feeds arbitrary doubles (non-numbers, infinities, denormals, huge values)
// through the appearance model and the namer: the texts must always stay
// terminated and inside their buffers.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "colour_pipeline.h"
#include "debug_output.h"
#include "wide_format.h"

namespace {

void CheckTexts(const tintora::LabelTexts& texts) {
  using namespace tintora;
  if (texts.name[kLabelTextUnits - 1] != 0 || texts.qualifier[kLabelTextUnits - 1] != 0)
    std::abort();
  if (Utf16Length(texts.name) > kLabelTextUnits - 1 ||
      Utf16Length(texts.qualifier) > kLabelTextUnits - 1)
    std::abort();
}

void Discard(const char16_t* line, void*) {
  if (tintora::Utf16Length(line) >= 60) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tintora;
  SetDebugSink(Discard, nullptr);  // format the diagnostic lines too
  double values[3] = {0, 0, 0};
  std::memcpy(values, data, size < sizeof values ? size : sizeof values);

  // As correlates straight into the namer ...
  CheckTexts(NameColor(AppearanceColor{{values[0], values[1], values[2], 1.0}}));
  // ... and as tristimulus values through the whole model.
  CheckTexts(NameColor(XyzToAppearance(XyzColor{{values[0], values[1], values[2], 1.0}})));
  // Any 32-bit value as a screen colour.
  if (size >= sizeof values + 4) {
    std::uint32_t color;
    std::memcpy(&color, data + sizeof values, 4);
    const AppearanceColor jch = XyzToAppearance(SrgbToXyz(color));
    if (LastMatchingRule(jch) < 0) std::abort();  // every screen colour has a row
    CheckTexts(NameColor(jch));
  }
  return 0;
}
