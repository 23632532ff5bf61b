// The test builds that stand for a slow screen (a composited desktop, a
// remote session, a virtual machine without a GPU): each screen read costs
// an extra, fixed time, spent on the processor as a slow read spends it. Only
// the shells' `tintora-slowread` programs call this; the label has no delay.
#pragma once

namespace tintora {

// TINTORA_SCREEN_READ_DELAY_MS (a whole number of milliseconds, 0 to 1000;
// 4 when unset or unreadable), read once.
int ScreenReadDelayMs();

// Spends ScreenReadDelayMs() milliseconds.
void SpendScreenReadDelay();

}  // namespace tintora
