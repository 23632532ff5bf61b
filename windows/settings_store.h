// The label's saved position and the startup entry, in the current user's
// registry hive. Each operation opens the key it needs and closes it again
// before returning; none keeps state. Each returns 1 on success, 0 on failure.
#pragma once

#include <windows.h>

namespace tintora {

// HKEY_CURRENT_USER\SOFTWARE\MossVane\Tintora: "iWindowPosX", "iWindowPosY".
extern const wchar_t SettingsKeyPath[];
// HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Run: "Tintora".
extern const wchar_t RunKeyPath[];

// Writes the startup value: this executable's whole path in double quotes.
// Writes nothing and returns 0 when the path cannot be had in full.
int EnableAutostart();
// Deletes the startup value; 1 also when there was none to delete.
int DisableAutostart();
// 1 when a REG_SZ "Tintora" value exists under the Run key (its contents,
// quoted or not, are not looked at).
int IsAutostartEnabled();
// Stores the top-left corner of the window's normal placement; 1 when both
// values were written.
int SaveWindowPosition(HWND window);
// Moves the window's normal placement to the stored corner, keeping its size;
// 1 when both values were read and the placement was applied.
int RestoreWindowPosition(HWND window);

}  // namespace tintora
