#include "screen_read_delay.h"

#include <chrono>
#include <cstdlib>

namespace tintora {

namespace {

constexpr int kDefaultDelayMs = 4;
constexpr long kLongestDelayMs = 1000;

int DelayFromEnvironment() {
  const char* text = std::getenv("TINTORA_SCREEN_READ_DELAY_MS");
  if (text == nullptr || *text == '\0') return kDefaultDelayMs;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 0 || value > kLongestDelayMs) return kDefaultDelayMs;
  return static_cast<int>(value);
}

}  // namespace

int ScreenReadDelayMs() {
  static const int delay = DelayFromEnvironment();
  return delay;
}

void SpendScreenReadDelay() {
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(ScreenReadDelayMs());
  while (std::chrono::steady_clock::now() < until) {
  }
}

}  // namespace tintora
