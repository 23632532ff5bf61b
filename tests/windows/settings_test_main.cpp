// Entry point of the registry tests. They change HKEY_CURRENT_USER, so they
// run only inside a Wine prefix made for them, never against a real user's
// registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

bool RunningInWinePrefix() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
    return false;
  }
  wchar_t prefix[8];
  return GetEnvironmentVariableW(L"WINEPREFIX", prefix, 8) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!RunningInWinePrefix()) {
    std::fprintf(stderr,
                 "settings_store_tests changes HKEY_CURRENT_USER and runs only under Wine with "
                 "WINEPREFIX set "
                 "to a prefix of its own.\n");
    return 2;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
