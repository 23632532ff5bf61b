// Looks at the Tintora label from outside and pokes it. One command per run,
// each printing one JSON line on stdout (exit code 0 when the command did its
// job, 1 when what it looked for was not there, 2 for a usage error):
//
//   window [--wait MS] [--gone MS]   the label's rects, region, styles, process
//   metrics [--font PATH]... [--dpi N]
//                                    reference font metrics and the sizes the label's
//                                    layout core derives from them
//   render --out FILE.bmp --rgb rrggbb --name T [--qual T] [--dpi N] [--size W H] [--font PATH]...
//                                    the label as it should look, as a BMP, drawn with the
//                                    layout core's fonts, frame, text grey and rectangles
//   dpichanged DPI X Y [W H]         sends WM_DPICHANGED with a suggested rect
//   close                            posts WM_CLOSE to the label
//   endsession 1|0 [--terminate]     sends WM_QUERYENDSESSION, then WM_ENDSESSION with that
//                                    wParam (lParam ENDSESSION_LOGOFF), as a logoff does; with
//                                    --terminate then ends the label's process as the system
//                                    may (TerminateProcess, exit code 229), with no message
//   about [--wait MS] [--dismiss]    the About box's texts
//   menu [--wait MS] [--dismiss]     the popup menu's rect and items
//   foreground                       the foreground window
//   pixel X Y                        the screen pixel through GetDC(NULL)
//   reg get | clear | set-pos X Y | set-posx X | set-run TEXT | set-run-dword N
//       | del-run | set-logpixels N | del-logpixels
//   reg lock-run                     makes the Run key read-only for everyone; prints the
//                                    access list it had ("saved", SDDL) and whether the
//                                    registry now refuses to set a value there ("enforced")
//   reg unlock-run [SDDL]            gives the Run key that access list back (without one:
//                                    full access for everyone)
//   dll NAME [FUNCTION]              loads NAME from the system directory as the label
//                                    does, and looks FUNCTION up in it
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_common.h"
#include "e2e_dpi.h"
#include "label_layout.h"

namespace {

using tintora::e2e::Fail;
using tintora::e2e::JsonLine;
using tintora::e2e::ParseHexColour;
using tintora::e2e::ParseLong;

const wchar_t kSettingsKey[] = L"SOFTWARE\\MossVane\\Tintora";
const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
// The exit code of a label ended by "endsession --terminate".
constexpr UINT kTerminatedExitCode = 229;

struct Options {
  std::vector<std::wstring> positional;
  std::vector<std::wstring> fonts;
  long wait_ms = 0;
  long gone_ms = -1;
  long dpi = 96;
  long width = 0;
  long height = 0;
  bool dismiss = false;
  bool terminate = false;
  std::wstring out;
  std::wstring name;
  std::wstring qualifier;
  COLORREF rgb = 0;
};

bool ParseOptions(const std::vector<std::wstring>& words, Options* options) {
  for (size_t i = 1; i < words.size(); ++i) {
    const std::wstring& w = words[i];
    const bool has_value = i + 1 < words.size();
    if (w == L"--wait" && has_value) {
      if (!ParseLong(words[++i], &options->wait_ms)) return false;
    } else if (w == L"--gone" && has_value) {
      if (!ParseLong(words[++i], &options->gone_ms)) return false;
    } else if (w == L"--dpi" && has_value) {
      if (!ParseLong(words[++i], &options->dpi) || options->dpi <= 0) return false;
    } else if (w == L"--size" && i + 2 < words.size()) {
      if (!ParseLong(words[i + 1], &options->width) || !ParseLong(words[i + 2], &options->height))
        return false;
      i += 2;
    } else if (w == L"--font" && has_value) {
      options->fonts.push_back(words[++i]);
    } else if (w == L"--out" && has_value) {
      options->out = words[++i];
    } else if (w == L"--name" && has_value) {
      options->name = words[++i];
    } else if (w == L"--qual" && has_value) {
      options->qualifier = words[++i];
    } else if (w == L"--rgb" && has_value) {
      if (!ParseHexColour(words[++i], &options->rgb)) return false;
    } else if (w == L"--dismiss") {
      options->dismiss = true;
    } else if (w == L"--terminate") {
      options->terminate = true;
    } else {
      options->positional.push_back(w);
    }
  }
  return true;
}

HWND FindLabel() { return FindWindowW(L"Tintora", L"Tintora"); }

// Polls for a condition every 20 ms until it holds or the time is up.
template <typename Condition>
bool WaitFor(long timeout_ms, Condition condition) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms > 0 ? timeout_ms : 0);
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return buffer;
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, 256);
  return buffer;
}

int CmdWindow(const Options& options) {
  HWND label = nullptr;
  if (options.gone_ms >= 0) {
    const bool gone = WaitFor(options.gone_ms, [] { return FindLabel() == nullptr; });
    JsonLine().Int("found", gone ? 0 : 1).Print();
    return gone ? 0 : 1;
  }
  // Shown and clipped to its region: the state after start-up.
  WaitFor(options.wait_ms, [&label] {
    label = FindLabel();
    if (label == nullptr || !IsWindowVisible(label)) return false;
    RECT box;
    return GetWindowRgnBox(label, &box) != ERROR;
  });
  if (label == nullptr) {
    JsonLine().Int("found", 0).Print();
    return 1;
  }
  RECT rect{};
  GetWindowRect(label, &rect);
  RECT client{};
  GetClientRect(label, &client);
  RECT box{};
  const int region_type = GetWindowRgnBox(label, &box);
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(label, &placement);
  DWORD pid = 0;
  GetWindowThreadProcessId(label, &pid);
  const LONG style = GetWindowLongW(label, GWL_STYLE);
  const LONG ex_style = GetWindowLongW(label, GWL_EXSTYLE);
  JsonLine()
      .Int("found", 1)
      .Int("hwnd", static_cast<long long>(reinterpret_cast<UINT_PTR>(label)))
      .Int("pid", pid)
      .Text("title", WindowText(label))
      .Text("class", ClassName(label))
      .Rect("rect", rect)
      .Rect("client", client)
      .Int("region_type", region_type)
      .Rect("region", box)
      .Rect("normal", placement.rcNormalPosition)
      .Int("style", static_cast<long long>(static_cast<DWORD>(style)))
      .Int("exstyle", static_cast<long long>(static_cast<DWORD>(ex_style)))
      .Int("topmost", (ex_style & WS_EX_TOPMOST) != 0)
      .Int("caption", (style & WS_CAPTION) == WS_CAPTION)
      .Int("border", (style & WS_BORDER) != 0)
      .Int("thickframe", (style & WS_THICKFRAME) != 0)
      .Int("visible", IsWindowVisible(label) != FALSE)
      .Int("foreground", GetForegroundWindow() == label)
      .Print();
  return 0;
}

// Font files registered for this process only, so the probe sees the faces
// the label carries without installing them anywhere.
int RegisterFonts(const std::vector<std::wstring>& fonts) {
  int faces = 0;
  for (const std::wstring& path : fonts) {
    faces += AddFontResourceExW(path.c_str(), FR_PRIVATE, nullptr);
  }
  return faces;
}

// A font as the label's core requests it.
HFONT CreateRequestedFont(const tintora::FontRequest& request) {
  return CreateFontW(request.height, 0, 0, 0, request.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, static_cast<DWORD>(request.quality),
                     FF_MODERN | DEFAULT_PITCH, reinterpret_cast<const wchar_t*>(request.face));
}

struct Reference {
  TEXTMETRICW tm{};
  std::wstring face;
  int border = 0;
  tintora::LabelMetrics metrics{};
  float scale = 1.0f;
  tintora::LabelSize size{};  // the scaled width and LabelHeight
};

// Measures the reference font in this process, as the label does at
// start-up; the sizes come from the label's layout core.
Reference MeasureReference(long dpi) {
  Reference ref;
  HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
  HFONT font = CreateRequestedFont(tintora::ReferenceFontRequest());
  HGDIOBJ previous = SelectObject(ic, font);
  GetTextMetricsW(ic, &ref.tm);
  wchar_t face[LF_FACESIZE + 1] = {};
  GetTextFaceW(ic, LF_FACESIZE, face);
  ref.face = face;
  SelectObject(ic, previous);
  DeleteDC(ic);
  DeleteObject(font);

  ref.border = GetSystemMetrics(SM_CXBORDER);
  ref.metrics = tintora::LabelMetrics{ref.tm.tmHeight, ref.tm.tmDescent, ref.tm.tmInternalLeading,
                                      ref.tm.tmAveCharWidth};
  ref.scale = tintora::UiScaleFromDpi(static_cast<unsigned>(dpi));
  ref.size = tintora::LabelSizeAt(ref.metrics, ref.border, ref.scale);
  return ref;
}

int CmdMetrics(const Options& options) {
  const int faces = RegisterFonts(options.fonts);
  const Reference ref = MeasureReference(options.dpi);
  JsonLine()
      .Int("registered_faces", faces)
      .Text("face", ref.face)
      .Int("tmHeight", ref.tm.tmHeight)
      .Int("tmAscent", ref.tm.tmAscent)
      .Int("tmDescent", ref.tm.tmDescent)
      .Int("tmInternalLeading", ref.tm.tmInternalLeading)
      .Int("tmAveCharWidth", ref.tm.tmAveCharWidth)
      .Int("tmWeight", ref.tm.tmWeight)
      .Int("cxborder", ref.border)
      .Int("cxmintrack", GetSystemMetrics(SM_CXMINTRACK))
      .Int("cymintrack", GetSystemMetrics(SM_CYMINTRACK))
      .Int("dpi", options.dpi)
      .Double("scale", static_cast<double>(ref.scale))
      .Int("base_width", tintora::BaseWidth(ref.metrics, ref.border))
      .Int("scaled_width", ref.size.width)
      .Int("label_height", ref.size.height)
      .Int("name_font_height", tintora::NameFontRequest(ref.metrics, ref.scale).height)
      .Int("qualifier_font_height", tintora::QualifierFontRequest(ref.metrics, ref.scale).height)
      // The width if the system's minimum width of an overlapped window had
      // widened the window before it was scaled, for naming that failure.
      .Int("mintrack_scaled_width",
           tintora::ScaleExtent(std::max(tintora::BaseWidth(ref.metrics, ref.border),
                                         GetSystemMetrics(SM_CXMINTRACK)),
                                ref.scale))
      .Print();
  return 0;
}

bool WriteBmp(const std::wstring& path, const BYTE* pixels, int width, int height) {
  // 32-bit top-down pixels in, 24-bit bottom-up BMP out.
  const int row = (width * 3 + 3) & ~3;
  std::vector<BYTE> data(static_cast<size_t>(row) * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    const BYTE* src = pixels + static_cast<size_t>(y) * static_cast<size_t>(width) * 4u;
    BYTE* dst = &data[static_cast<size_t>(height - 1 - y) * static_cast<size_t>(row)];
    for (int x = 0; x < width; ++x) {
      dst[x * 3 + 0] = src[x * 4 + 0];
      dst[x * 3 + 1] = src[x * 4 + 1];
      dst[x * 3 + 2] = src[x * 4 + 2];
    }
  }
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(data.size());
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(handle, &file, sizeof file, &written, nullptr) != FALSE;
  ok = ok && WriteFile(handle, &info, sizeof info, &written, nullptr) != FALSE;
  ok = ok && WriteFile(handle, data.data(), info.biSizeImage, &written, nullptr) != FALSE;
  CloseHandle(handle);
  return ok;
}

std::string RectJson(const tintora::Rect& r) {
  return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

// Draws the label as it should look for the given colour and texts, with
// the layout core's fonts, frame colour, text grey and text rectangles, into
// a bitmap; prints what it used.
int CmdRender(const Options& options) {
  if (options.out.empty()) return Fail("render needs --out FILE.bmp");
  const int faces = RegisterFonts(options.fonts);
  const Reference ref = MeasureReference(options.dpi);
  // The label paints into its region's box; the caller passes the box it
  // found, the region's own size being checked apart.
  const int width = options.width > 0 ? static_cast<int>(options.width) : ref.size.width;
  const int height = options.height > 0 ? static_cast<int>(options.height) : ref.size.height;
  if (width <= 0 || height <= 0) return Fail("render: empty label size");

  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) {
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return Fail("render: no DIB section");
  }
  HGDIOBJ old_bitmap = SelectObject(memory, bitmap);

  const tintora::ColorRef sample = options.rgb;
  const tintora::ColorRef frame = tintora::FrameColor(sample);
  const unsigned grey = static_cast<unsigned>(tintora::TextGrey(sample));
  HBRUSH brush = CreateSolidBrush(options.rgb);
  HPEN pen = CreatePen(PS_INSIDEFRAME, 1, frame);
  HGDIOBJ old_pen = SelectObject(memory, pen);
  HGDIOBJ old_brush = SelectObject(memory, brush);
  Rectangle(memory, 0, 0, width, height);
  SetBkMode(memory, TRANSPARENT);
  SetTextColor(memory, tintora::MakeColorRef(grey, grey, grey));

  HFONT name_font = CreateRequestedFont(tintora::NameFontRequest(ref.metrics, ref.scale));
  HFONT qualifier_font = CreateRequestedFont(tintora::QualifierFontRequest(ref.metrics, ref.scale));
  HGDIOBJ old_font = SelectObject(memory, name_font);
  RECT name_extent{0, 0, 0, 0};
  DrawTextW(memory, options.name.c_str(), -1, &name_extent, DT_CALCRECT);
  SelectObject(memory, qualifier_font);
  RECT qualifier_extent{0, 0, 0, 0};
  DrawTextW(memory, options.qualifier.c_str(), -1, &qualifier_extent, DT_CALCRECT);
  const int nw = name_extent.right;
  const int qw = qualifier_extent.right;
  tintora::TwoTextLayout layout{tintora::SingleTextRect(width, height), {0, 0, 0, 0}};
  if (qw == 0) {
    SelectObject(memory, name_font);
    RECT rect{layout.name.left, layout.name.top, layout.name.right, layout.name.bottom};
    DrawTextW(memory, options.name.c_str(), -1, &rect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
  } else {
    layout = tintora::TwoTextRects(width, height, nw, qw, ref.tm.tmAveCharWidth, ref.tm.tmDescent);
    SelectObject(memory, name_font);
    RECT rect{layout.name.left, layout.name.top, layout.name.right, layout.name.bottom};
    DrawTextW(memory, options.name.c_str(), -1, &rect,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    SelectObject(memory, qualifier_font);
    RECT qrect{layout.qualifier.left, layout.qualifier.top, layout.qualifier.right,
               layout.qualifier.bottom};
    DrawTextW(memory, options.qualifier.c_str(), -1, &qrect, DT_SINGLELINE | DT_VCENTER);
  }
  GdiFlush();
  const bool written = WriteBmp(options.out, static_cast<const BYTE*>(bits), width, height);

  SelectObject(memory, old_font);
  SelectObject(memory, old_brush);
  SelectObject(memory, old_pen);
  SelectObject(memory, old_bitmap);
  DeleteObject(name_font);
  DeleteObject(qualifier_font);
  DeleteObject(brush);
  DeleteObject(pen);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  JsonLine()
      .Int("written", written)
      .Int("registered_faces", faces)
      .Int("width", width)
      .Int("height", height)
      .Int("name_width", nw)
      .Int("qualifier_width", qw)
      .Raw("name_rect", RectJson(layout.name))
      .Raw("qualifier_rect", RectJson(layout.qualifier))
      .Int("qualifier_font_height", tintora::QualifierFontRequest(ref.metrics, ref.scale).height)
      .Raw("frame", "[" + std::to_string(tintora::RedOf(frame)) + "," +
                        std::to_string(tintora::GreenOf(frame)) + "," +
                        std::to_string(tintora::BlueOf(frame)) + "]")
      .Int("grey", grey)
      .Print();
  return written ? 0 : 1;
}

// The suggested rect must be valid in the label's address space whether or
// not the system copies it across processes, so it is placed at one address
// that is committed in both processes.
int CmdDpiChanged(const Options& options) {
  const std::vector<std::wstring>& p = options.positional;
  long dpi = 0;
  long x = 0;
  long y = 0;
  long w = 100;
  long h = 20;
  if (p.size() < 4 || !ParseLong(p[1], &dpi) || !ParseLong(p[2], &x) || !ParseLong(p[3], &y) ||
      (p.size() >= 6 && (!ParseLong(p[4], &w) || !ParseLong(p[5], &h))) || dpi <= 0 ||
      dpi > 0xFFFF) {
    return Fail("usage: dpichanged DPI X Y [W H]");
  }
  HWND label = FindLabel();
  if (label == nullptr) {
    JsonLine().Int("found", 0).Print();
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(label, &pid);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) return Fail("dpichanged: OpenProcess failed");
  const RECT suggested{x, y, x + w, y + h};
  void* shared = nullptr;
  for (int attempt = 0; attempt < 64 && shared == nullptr; ++attempt) {
    void* remote = VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) break;
    void* local = VirtualAlloc(remote, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (local == remote) {
      shared = remote;
    } else {
      if (local != nullptr) VirtualFree(local, 0, MEM_RELEASE);
      // Leave this remote block in place so the next try gets another address.
    }
  }
  if (shared == nullptr) {
    CloseHandle(process);
    return Fail("dpichanged: no address free in both processes");
  }
  CopyMemory(shared, &suggested, sizeof suggested);
  SIZE_T written = 0;
  WriteProcessMemory(process, shared, &suggested, sizeof suggested, &written);
  DWORD_PTR result = 0;
  const WORD dpi_word = static_cast<WORD>(dpi);
  SetLastError(0);
  const LRESULT sent =
      SendMessageTimeoutW(label, WM_DPICHANGED, MAKEWPARAM(dpi_word, dpi_word),
                          reinterpret_cast<LPARAM>(shared), SMTO_ABORTIFHUNG, 10000, &result);
  const DWORD error = GetLastError();
  VirtualFreeEx(process, shared, 0, MEM_RELEASE);
  VirtualFree(shared, 0, MEM_RELEASE);
  CloseHandle(process);
  JsonLine()
      .Int("found", 1)
      .Int("sent", sent != 0)
      .Int("result", static_cast<long long>(result))
      .Int("error", error)
      .Int("written", static_cast<long long>(written))
      .Print();
  return sent != 0 ? 0 : 1;
}

int CmdClose() {
  HWND label = FindLabel();
  if (label == nullptr) {
    JsonLine().Int("found", 0).Print();
    return 1;
  }
  const BOOL posted = PostMessageW(label, WM_CLOSE, 0, 0);
  JsonLine().Int("found", 1).Int("posted", posted != FALSE).Print();
  return posted ? 0 : 1;
}

int CmdEndSession(const Options& options) {
  long ending = 0;
  if (options.positional.size() < 2 || !ParseLong(options.positional[1], &ending))
    return Fail("usage: endsession 1|0 [--terminate]");
  HWND label = FindLabel();
  if (label == nullptr) {
    JsonLine().Int("found", 0).Print();
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(label, &pid);
  DWORD_PTR query = 0;
  DWORD_PTR end = 0;
  const bool queried = SendMessageTimeoutW(label, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                           SMTO_ABORTIFHUNG, 10000, &query) != 0;
  const bool ended = SendMessageTimeoutW(label, WM_ENDSESSION, ending != 0 ? TRUE : FALSE,
                                         ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &end) != 0;
  bool terminated = false;
  DWORD exit_code = STILL_ACTIVE;
  if (options.terminate) {
    HANDLE process = OpenProcess(
        PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process != nullptr) {
      terminated = TerminateProcess(process, kTerminatedExitCode) != FALSE &&
                   WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
      GetExitCodeProcess(process, &exit_code);
      CloseHandle(process);
    }
  }
  JsonLine()
      .Int("found", 1)
      .Int("query_sent", queried)
      .Int("query_result", static_cast<long long>(query))
      .Int("end_sent", ended)
      .Int("end_result", static_cast<long long>(end))
      .Int("terminated", terminated)
      .Int("exit_code", exit_code)
      .Print();
  return queried && ended && (terminated || !options.terminate) ? 0 : 1;
}

struct ChildTexts {
  std::vector<std::wstring> statics;
  std::vector<std::wstring> buttons;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  ChildTexts* texts = reinterpret_cast<ChildTexts*>(param);
  const std::wstring cls = ClassName(child);
  if (lstrcmpiW(cls.c_str(), L"Static") == 0) {
    texts->statics.push_back(WindowText(child));
  } else if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
    texts->buttons.push_back(WindowText(child));
  }
  return TRUE;
}

std::string JsonArray(const std::vector<std::wstring>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i != 0) out += ",";
    out += tintora::e2e::JsonString(items[i]);
  }
  return out + "]";
}

int CmdAbout(const Options& options) {
  HWND box = nullptr;
  WaitFor(options.wait_ms, [&box] {
    box = FindWindowW(L"#32770", L"About");
    return box != nullptr && IsWindowVisible(box);
  });
  if (box == nullptr) {
    JsonLine().Int("found", 0).Print();
    return 1;
  }
  ChildTexts texts;
  EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&texts));
  DWORD pid = 0;
  GetWindowThreadProcessId(box, &pid);
  RECT rect{};
  GetWindowRect(box, &rect);
  HWND owner = GetWindow(box, GW_OWNER);
  if (options.dismiss) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  JsonLine()
      .Int("found", 1)
      .Int("pid", pid)
      .Rect("rect", rect)
      .Int("owner", static_cast<long long>(reinterpret_cast<UINT_PTR>(owner)))
      .Raw("statics", JsonArray(texts.statics))
      .Raw("buttons", JsonArray(texts.buttons))
      .Int("dismissed", options.dismiss)
      .Print();
  return 0;
}

HWND FindVisibleMenu() {
  HWND found = nullptr;
  HWND candidate = nullptr;
  while ((candidate = FindWindowExW(nullptr, candidate, L"#32768", nullptr)) != nullptr) {
    if (IsWindowVisible(candidate)) {
      found = candidate;
      break;
    }
  }
  return found;
}

int CmdMenu(const Options& options) {
  HWND menu_window = nullptr;
  WaitFor(options.wait_ms, [&menu_window] {
    menu_window = FindVisibleMenu();
    return menu_window != nullptr;
  });
  if (menu_window == nullptr) {
    JsonLine().Int("found", 0).Print();
    return 1;
  }
  RECT rect{};
  GetWindowRect(menu_window, &rect);
  DWORD pid = 0;
  GetWindowThreadProcessId(menu_window, &pid);
  constexpr UINT kGetMenuHandle = 0x01E1;  // MN_GETHMENU
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(menu_window, kGetMenuHandle, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
  HMENU menu = reinterpret_cast<HMENU>(answer);
  std::string items = "[";
  const int count = menu != nullptr ? GetMenuItemCount(menu) : -1;
  for (int i = 0; i < count; ++i) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    const UINT id = GetMenuItemID(menu, i);
    RECT item{};
    const BOOL has_rect = GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &item);
    JsonLine line;
    line.Text("text", text)
        .Int("id", id)
        .Int("state", state)
        .Int("checked", (state & MF_CHECKED) != 0)
        .Int("has_rect", has_rect != FALSE)
        .Rect("rect", item);
    if (i != 0) items += ",";
    items += line.Str();
  }
  items += "]";
  if (options.dismiss) {
    // Escape closes the menu without a choice.
    PostMessageW(menu_window, WM_KEYDOWN, VK_ESCAPE, 0);
  }
  JsonLine()
      .Int("found", 1)
      .Int("pid", pid)
      .Rect("rect", rect)
      .Int("hmenu", static_cast<long long>(answer))
      .Int("count", count)
      .Raw("items", items)
      .Print();
  return 0;
}

int CmdForeground() {
  HWND fg = GetForegroundWindow();
  JsonLine()
      .Int("hwnd", static_cast<long long>(reinterpret_cast<UINT_PTR>(fg)))
      .Text("class", fg != nullptr ? ClassName(fg) : std::wstring())
      .Text("title", fg != nullptr ? WindowText(fg) : std::wstring())
      .Int("is_label", fg != nullptr && fg == FindLabel())
      .Print();
  return 0;
}

int CmdPixel(const Options& options) {
  long x = 0;
  long y = 0;
  if (options.positional.size() < 3 || !ParseLong(options.positional[1], &x) ||
      !ParseLong(options.positional[2], &y)) {
    return Fail("usage: pixel X Y");
  }
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, x, y);
  // The same pixel read the way the label samples: an 11 x 11 block copied
  // into a DIB section, its centre pixel taken.
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = 11;
  bmi.bmiHeader.biHeight = 11;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP block = CreateDIBSection(memory, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  int br = -1;
  int bg = -1;
  int bb = -1;
  int cr = -1;
  int cg = -1;
  int cb = -1;
  if (block != nullptr && bits != nullptr) {
    HGDIOBJ previous = SelectObject(memory, block);
    BitBlt(memory, 0, 0, 11, 11, screen, x - 5, y - 5, SRCCOPY);
    GdiFlush();
    const BYTE* centre = static_cast<const BYTE*>(bits) + 240;
    bb = centre[0];
    bg = centre[1];
    br = centre[2];
    // The same block with its source clipped to the virtual screen, the
    // part that lies on the screen landing where it belongs in the block.
    ZeroMemory(bits, 11 * 11 * 4);
    const int screen_left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int screen_top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int screen_right = screen_left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int screen_bottom = screen_top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const int left = std::max(static_cast<int>(x) - 5, screen_left);
    const int top = std::max(static_cast<int>(y) - 5, screen_top);
    const int right = std::min(static_cast<int>(x) + 6, screen_right);
    const int bottom = std::min(static_cast<int>(y) + 6, screen_bottom);
    if (right > left && bottom > top) {
      BitBlt(memory, left - (static_cast<int>(x) - 5), top - (static_cast<int>(y) - 5),
             right - left, bottom - top, screen, left, top, SRCCOPY);
      GdiFlush();
      cb = centre[0];
      cg = centre[1];
      cr = centre[2];
    }
    SelectObject(memory, previous);
    DeleteObject(block);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  JsonLine()
      .Int("r", GetRValue(colour))
      .Int("g", GetGValue(colour))
      .Int("b", GetBValue(colour))
      .Int("block_r", br)
      .Int("block_g", bg)
      .Int("block_b", bb)
      .Int("clipped_r", cr)
      .Int("clipped_g", cg)
      .Int("clipped_b", cb)
      .Print();
  return 0;
}

// One registry value described as JSON fields prefix_type, prefix_size and
// prefix (the DWORD as a signed number, or the text).
void DescribeValue(JsonLine* line, HKEY root, const wchar_t* key, const wchar_t* value,
                   const std::string& prefix) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    line->Int((prefix + "_type").c_str(), -1);
    return;
  }
  BYTE data[1040] = {};
  DWORD type = 0;
  DWORD size = sizeof data - 2;
  const LONG status = RegQueryValueExW(handle, value, nullptr, &type, data, &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS) {
    line->Int((prefix + "_type").c_str(), -1);
    return;
  }
  line->Int((prefix + "_type").c_str(), type).Int((prefix + "_size").c_str(), size);
  if ((type == REG_DWORD || type == REG_BINARY) && size == 4) {
    LONG number = 0;
    CopyMemory(&number, data, 4);
    line->Int(prefix.c_str(), number);
  } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
    const size_t units = size / sizeof(wchar_t);
    std::wstring text(reinterpret_cast<const wchar_t*>(data), units);
    line->Text(prefix.c_str(), text);
  }
}

bool SetDword(HKEY root, const wchar_t* key, const wchar_t* value, DWORD number) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const bool ok = RegSetValueExW(handle, value, 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&number), 4) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return ok;
}

bool SetText(HKEY root, const wchar_t* key, const wchar_t* value, const std::wstring& text) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  const bool ok =
      RegSetValueExW(handle, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     bytes) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return ok;
}

void DeleteValue(HKEY root, const wchar_t* key, const wchar_t* value) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_WRITE, &handle) == ERROR_SUCCESS) {
    RegDeleteValueW(handle, value);
    RegCloseKey(handle);
  }
}

// The Run key locked: everyone may read it, read and change its access list
// and delete it, but not set or delete values.
const wchar_t kRunKeyLockedDacl[] = L"D:P(A;;0x70019;;;WD)";
// What an unlock without the saved list applies.
const wchar_t kRunKeyOpenDacl[] = L"D:(A;;KA;;;WD)";

bool ApplyDacl(HKEY key, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return false;
  }
  const bool applied =
      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
  LocalFree(descriptor);
  return applied;
}

// The key's access list as SDDL text; empty when it cannot be read.
std::wstring DaclText(HKEY key) {
  DWORD size = 0;
  RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
  if (size == 0) return std::wstring();
  std::vector<BYTE> descriptor(size);
  if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size) !=
      ERROR_SUCCESS) {
    return std::wstring();
  }
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return std::wstring();
  }
  std::wstring result(text);
  LocalFree(text);
  return result;
}

// SDDL text as the system writes it back, for comparing access lists.
std::wstring CanonicalDacl(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return std::wstring();
  }
  LPWSTR text = nullptr;
  std::wstring result;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    result = text;
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}

bool RunKeyRefusesValues() {
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key);
  if (opened == ERROR_SUCCESS) RegCloseKey(key);
  return opened == ERROR_ACCESS_DENIED;
}

int CmdLockRunKey() {
  HKEY key = nullptr;
  // Created when missing, so that there is a key to lock.
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0,
                      KEY_READ | READ_CONTROL | WRITE_DAC, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    JsonLine().Int("ok", 0).Print();
    return 1;
  }
  const std::wstring saved = DaclText(key);
  const bool applied = !saved.empty() && ApplyDacl(key, kRunKeyLockedDacl);
  RegCloseKey(key);
  // A list saved while the key was already locked would lock it again on unlock.
  const bool was_locked = !saved.empty() && saved == CanonicalDacl(kRunKeyLockedDacl);
  JsonLine()
      .Int("ok", applied)
      .Int("enforced", applied && RunKeyRefusesValues())
      .Int("was_locked", was_locked)
      .Text("saved", saved)
      .Print();
  return applied ? 0 : 1;
}

int CmdUnlockRunKey(const std::vector<std::wstring>& p) {
  const std::wstring dacl = p.size() >= 3 && !p[2].empty() ? p[2] : std::wstring(kRunKeyOpenDacl);
  HKEY key = nullptr;
  bool applied = false;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
    applied = ApplyDacl(key, dacl.c_str());
    RegCloseKey(key);
  }
  const bool writable = !RunKeyRefusesValues();
  JsonLine()
      .Int("ok", applied && writable)
      .Int("applied", applied)
      .Int("writable", writable)
      .Print();
  return applied && writable ? 0 : 1;
}

int CmdDll(const Options& options) {
  const std::vector<std::wstring>& p = options.positional;
  if (p.size() < 2) return Fail("usage: dll NAME [FUNCTION]");
  HMODULE module = LoadLibraryExW(p[1].c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const DWORD error = module == nullptr ? GetLastError() : 0;
  bool found = false;
  if (module != nullptr && p.size() >= 3) {
    const std::string function(p[2].begin(), p[2].end());
    found = GetProcAddress(module, function.c_str()) != nullptr;
  }
  JsonLine().Int("loaded", module != nullptr).Int("error", error).Int("function", found).Print();
  if (module != nullptr) FreeLibrary(module);
  return module != nullptr ? 0 : 1;
}

int CmdReg(const Options& options) {
  const std::vector<std::wstring>& p = options.positional;
  const std::wstring what = p.size() >= 2 ? p[1] : L"";
  long a = 0;
  long b = 0;
  bool ok = true;
  if (what == L"get") {
    JsonLine line;
    DescribeValue(&line, HKEY_CURRENT_USER, kSettingsKey, L"iWindowPosX", "posx");
    DescribeValue(&line, HKEY_CURRENT_USER, kSettingsKey, L"iWindowPosY", "posy");
    DescribeValue(&line, HKEY_CURRENT_USER, kRunKey, L"Tintora", "run");
    DescribeValue(&line, HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", "logpixels");
    HKEY handle = nullptr;
    const bool key_exists =
        RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &handle) == ERROR_SUCCESS;
    if (key_exists) RegCloseKey(handle);
    line.Int("settings_key", key_exists);
    line.Print();
    return 0;
  }
  if (what == L"clear") {
    DeleteValue(HKEY_CURRENT_USER, kSettingsKey, L"iWindowPosX");
    DeleteValue(HKEY_CURRENT_USER, kSettingsKey, L"iWindowPosY");
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    DeleteValue(HKEY_CURRENT_USER, kRunKey, L"Tintora");
  } else if (what == L"set-pos" && p.size() >= 4 && ParseLong(p[2], &a) && ParseLong(p[3], &b)) {
    ok = SetDword(HKEY_CURRENT_USER, kSettingsKey, L"iWindowPosX", static_cast<DWORD>(a)) &&
         SetDword(HKEY_CURRENT_USER, kSettingsKey, L"iWindowPosY", static_cast<DWORD>(b));
  } else if (what == L"set-posx" && p.size() >= 3 && ParseLong(p[2], &a)) {
    ok = SetDword(HKEY_CURRENT_USER, kSettingsKey, L"iWindowPosX", static_cast<DWORD>(a));
  } else if (what == L"set-run" && p.size() >= 3) {
    ok = SetText(HKEY_CURRENT_USER, kRunKey, L"Tintora", p[2]);
  } else if (what == L"set-run-dword" && p.size() >= 3 && ParseLong(p[2], &a)) {
    ok = SetDword(HKEY_CURRENT_USER, kRunKey, L"Tintora", static_cast<DWORD>(a));
  } else if (what == L"del-run") {
    DeleteValue(HKEY_CURRENT_USER, kRunKey, L"Tintora");
  } else if (what == L"set-logpixels" && p.size() >= 3 && ParseLong(p[2], &a) && a > 0) {
    ok = SetDword(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", static_cast<DWORD>(a));
  } else if (what == L"del-logpixels") {
    DeleteValue(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
  } else if (what == L"lock-run") {
    return CmdLockRunKey();
  } else if (what == L"unlock-run") {
    return CmdUnlockRunKey(p);
  } else {
    return Fail(
        "usage: reg get|clear|set-pos X Y|set-posx X|set-run T|set-run-dword "
        "N|del-run|set-logpixels N|"
        "del-logpixels|lock-run|unlock-run [SDDL]");
  }
  JsonLine().Int("ok", ok).Print();
  return ok ? 0 : 1;
}

}  // namespace

int main() {
  tintora::e2e::BecomeDpiAware();
  const std::vector<std::wstring> words = tintora::e2e::CommandWords();
  Options options;
  if (words.empty() || !ParseOptions(words, &options)) {
    return Fail(
        "usage: e2e_probe "
        "window|metrics|render|dpichanged|close|endsession|about|menu|foreground|pixel|reg|dll "
        "...");
  }
  options.positional.insert(options.positional.begin(), words[0]);
  const std::wstring& command = words[0];
  if (command == L"window") return CmdWindow(options);
  if (command == L"metrics") return CmdMetrics(options);
  if (command == L"render") return CmdRender(options);
  if (command == L"dpichanged") return CmdDpiChanged(options);
  if (command == L"close") return CmdClose();
  if (command == L"endsession") return CmdEndSession(options);
  if (command == L"about") return CmdAbout(options);
  if (command == L"menu") return CmdMenu(options);
  if (command == L"foreground") return CmdForeground();
  if (command == L"pixel") return CmdPixel(options);
  if (command == L"reg") return CmdReg(options);
  if (command == L"dll") return CmdDll(options);
  return Fail("unknown command");
}
