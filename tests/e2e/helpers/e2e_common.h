// Small shared pieces of the end-to-end helper programs: the command line as
// UTF-16 words, UTF-8 output, a tiny JSON writer and number parsing.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tintora {
namespace e2e {

// The command line split as the C runtime would, without the program name.
inline std::vector<std::wstring> CommandWords() {
  std::vector<std::wstring> words;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) {
    return words;
  }
  for (int i = 1; i < count; ++i) {
    words.emplace_back(argv[i]);
  }
  LocalFree(argv);
  return words;
}

inline std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) {
    return std::string();
  }
  const int length = static_cast<int>(text.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) {
    return std::string();
  }
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &out[0], bytes, nullptr, nullptr);
  return out;
}

// Escapes a text for a JSON string; non-ASCII units become \uXXXX so that the
// output is plain ASCII whatever the console code page is.
inline std::string JsonString(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t unit : text) {
    const unsigned code = static_cast<unsigned>(unit);
    if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
    } else if (code == '\n') {
      out += "\\n";
    } else if (code == '\r') {
      out += "\\r";
    } else if (code == '\t') {
      out += "\\t";
    } else if (code < 0x20 || code > 0x7E) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", code & 0xFFFFu);
      out += buffer;
    } else {
      out += static_cast<char>(code);
    }
  }
  out += '"';
  return out;
}

// Builds one JSON object line; keys are added in call order.
class JsonLine {
 public:
  JsonLine& Int(const char* key, long long value) { return Raw(key, std::to_string(value)); }
  JsonLine& Double(const char* key, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6f", value);
    return Raw(key, buffer);
  }
  JsonLine& Text(const char* key, const std::wstring& value) { return Raw(key, JsonString(value)); }
  JsonLine& Rect(const char* key, const RECT& r) {
    return Raw(key, "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                        std::to_string(r.right) + "," + std::to_string(r.bottom) + "]");
  }
  JsonLine& Raw(const char* key, const std::string& json) {
    if (!body_.empty()) {
      body_ += ",";
    }
    body_ += "\"";
    body_ += key;
    body_ += "\":";
    body_ += json;
    return *this;
  }
  std::string Str() const { return "{" + body_ + "}"; }
  void Print() const {
    std::printf("%s\n", Str().c_str());
    std::fflush(stdout);
  }

 private:
  std::string body_;
};

inline bool ParseLong(const std::wstring& text, long* value) {
  if (text.empty()) {
    return false;
  }
  wchar_t* end = nullptr;
  const long parsed = std::wcstol(text.c_str(), &end, 0);
  if (end == nullptr || *end != L'\0') {
    return false;
  }
  *value = parsed;
  return true;
}

inline bool ParseDouble(const std::wstring& text, double* value) {
  if (text.empty()) {
    return false;
  }
  wchar_t* end = nullptr;
  const double parsed = std::wcstod(text.c_str(), &end);
  if (end == nullptr || *end != L'\0') {
    return false;
  }
  *value = parsed;
  return true;
}

// "rrggbb" (optionally with a leading '#') as a COLORREF.
inline bool ParseHexColour(const std::wstring& text, COLORREF* colour) {
  std::wstring digits = text;
  if (!digits.empty() && digits[0] == L'#') {
    digits.erase(0, 1);
  }
  if (digits.size() != 6) {
    return false;
  }
  unsigned long value = 0;
  for (wchar_t c : digits) {
    unsigned digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<unsigned>(c - L'0');
    } else if (c >= L'a' && c <= L'f') {
      digit = static_cast<unsigned>(c - L'a' + 10);
    } else if (c >= L'A' && c <= L'F') {
      digit = static_cast<unsigned>(c - L'A' + 10);
    } else {
      return false;
    }
    value = value * 16u + digit;
  }
  *colour = RGB((value >> 16) & 0xFFu, (value >> 8) & 0xFFu, value & 0xFFu);
  return true;
}

inline int Fail(const char* message) {
  std::fprintf(stderr, "%s\n", message);
  std::fflush(stderr);
  return 2;
}

}  // namespace e2e
}  // namespace tintora
