// Injects mouse and keyboard input with SendInput, one step per word group:
//
//   move X Y     absolute move to desktop pixel (X, Y), corrected until exact
//   rel DX DY    relative move
//   ldown lup rdown rup   single button transitions
//   lrdown lrup  left and right transitions in one report
//   lclick rclick         press and release
//   wheel N      N wheel notches (negative: towards the user), no movement
//   keydown VK keyup VK key VK   virtual-key transitions (VK decimal or 0x..)
//   sleep MS
//
// Prints the cursor position after the last step as JSON.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "e2e_common.h"
#include "e2e_dpi.h"

namespace {

bool SendMouse(DWORD flags, LONG dx, LONG dy, DWORD data) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.mouseData = data;
  input.mi.dwFlags = flags;
  return SendInput(1, &input, sizeof(INPUT)) == 1;
}

bool SendKey(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0u;
  return SendInput(1, &input, sizeof(INPUT)) == 1;
}

// Waits briefly until the cursor shows the target: the position that
// GetCursorPos reports may lag behind the injected event.
bool CursorReaches(LONG x, LONG y, POINT* now) {
  for (int poll = 0; poll < 25; ++poll) {
    GetCursorPos(now);
    if (now->x == x && now->y == y) {
      return true;
    }
    Sleep(4);
  }
  return false;
}

// Absolute coordinates are normalised to 0..65535 over the primary screen;
// the rounding differs between systems, so the move is checked and then
// corrected with small relative steps.
bool MoveTo(LONG x, LONG y) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 1 || height <= 1) {
    return false;
  }
  const LONG nx = static_cast<LONG>((static_cast<long long>(x) * 65536 + width / 2) / width);
  const LONG ny = static_cast<LONG>((static_cast<long long>(y) * 65536 + height / 2) / height);
  if (!SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, nx, ny, 0)) {
    return false;
  }
  POINT now{};
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (CursorReaches(x, y, &now)) {
      return true;
    }
    SendMouse(MOUSEEVENTF_MOVE, x - now.x, y - now.y, 0);
  }
  return CursorReaches(x, y, &now);
}

}  // namespace

int main() {
  using namespace tintora::e2e;
  BecomeDpiAware();
  const std::vector<std::wstring> words = CommandWords();
  size_t i = 0;
  int failures = 0;
  auto number = [&](size_t at, long* value) {
    return at < words.size() && ParseLong(words[at], value);
  };
  while (i < words.size()) {
    const std::wstring& step = words[i];
    long a = 0;
    long b = 0;
    bool ok = true;
    if (step == L"move" && number(i + 1, &a) && number(i + 2, &b)) {
      ok = MoveTo(a, b);
      i += 3;
    } else if (step == L"rel" && number(i + 1, &a) && number(i + 2, &b)) {
      ok = SendMouse(MOUSEEVENTF_MOVE, a, b, 0);
      i += 3;
    } else if (step == L"ldown") {
      ok = SendMouse(MOUSEEVENTF_LEFTDOWN, 0, 0, 0);
      i += 1;
    } else if (step == L"lup") {
      ok = SendMouse(MOUSEEVENTF_LEFTUP, 0, 0, 0);
      i += 1;
    } else if (step == L"rdown") {
      ok = SendMouse(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0);
      i += 1;
    } else if (step == L"rup") {
      ok = SendMouse(MOUSEEVENTF_RIGHTUP, 0, 0, 0);
      i += 1;
    } else if (step == L"lrdown") {
      ok = SendMouse(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_RIGHTDOWN, 0, 0, 0);
      i += 1;
    } else if (step == L"lrup") {
      ok = SendMouse(MOUSEEVENTF_LEFTUP | MOUSEEVENTF_RIGHTUP, 0, 0, 0);
      i += 1;
    } else if (step == L"lclick") {
      ok = SendMouse(MOUSEEVENTF_LEFTDOWN, 0, 0, 0) && SendMouse(MOUSEEVENTF_LEFTUP, 0, 0, 0);
      i += 1;
    } else if (step == L"rclick") {
      ok = SendMouse(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0) && SendMouse(MOUSEEVENTF_RIGHTUP, 0, 0, 0);
      i += 1;
    } else if (step == L"wheel" && number(i + 1, &a)) {
      ok = SendMouse(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(a * WHEEL_DELTA));
      i += 2;
    } else if ((step == L"keydown" || step == L"keyup" || step == L"key") && number(i + 1, &a) &&
               a > 0 && a < 256) {
      const WORD vk = static_cast<WORD>(a);
      if (step == L"keydown") {
        ok = SendKey(vk, false);
      } else if (step == L"keyup") {
        ok = SendKey(vk, true);
      } else {
        ok = SendKey(vk, false) && SendKey(vk, true);
      }
      i += 2;
    } else if (step == L"sleep" && number(i + 1, &a) && a >= 0) {
      Sleep(static_cast<DWORD>(a));
      i += 2;
    } else {
      return Fail(
          "e2e_input: unknown or incomplete step (see the comment at the top of e2e_input.cpp)");
    }
    if (!ok) {
      ++failures;
    }
  }
  POINT now{};
  GetCursorPos(&now);
  JsonLine().Int("x", now.x).Int("y", now.y).Int("failures", failures).Print();
  return failures == 0 ? 0 : 1;
}
