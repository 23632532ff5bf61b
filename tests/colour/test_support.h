// Small helpers shared by the colour tests.
#pragma once

#include <string>
#include <vector>

#include "colour_pipeline.h"
#include "debug_output.h"

namespace tintora_test {

// UTF-16 to std::string for the ASCII texts the label shows; other units
// become '?' so a comparison fails visibly.
inline std::string Narrow(const char16_t* text) {
  std::string out;
  for (; *text != 0; ++text) out += (*text < 0x80) ? static_cast<char>(*text) : '?';
  return out;
}

inline tintora::AppearanceColor Appearance(double j, double c, double h) {
  return tintora::AppearanceColor{{j, c, h, 1.0}};
}

inline tintora::AppearanceColor AppearanceOf(unsigned r, unsigned g, unsigned b) {
  return tintora::XyzToAppearance(tintora::SrgbToXyz(tintora::MakeColorRef(r, g, b)));
}

// Captures every debug line while it lives.
class DebugCapture {
 public:
  DebugCapture() { tintora::SetDebugSink(&DebugCapture::Collect, this); }
  ~DebugCapture() { tintora::ResetDebugSink(); }
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;
  const std::vector<std::u16string>& Lines() const { return lines_; }

 private:
  static void Collect(const char16_t* line, void* self) {
    static_cast<DebugCapture*>(self)->lines_.emplace_back(line);
  }
  std::vector<std::u16string> lines_;
};

// Debug output off, whatever the platform's default, while it lives.
class DebugSilence {
 public:
  DebugSilence() { tintora::SetDebugSink(nullptr, nullptr); }
  ~DebugSilence() { tintora::ResetDebugSink(); }
  DebugSilence(const DebugSilence&) = delete;
  DebugSilence& operator=(const DebugSilence&) = delete;
};

}  // namespace tintora_test
