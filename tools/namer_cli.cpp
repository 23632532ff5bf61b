#include "namer_cli.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "colour_pipeline.h"
#include "version.h"

namespace tintora {

namespace {

constexpr const char* kProgramName = "tintora-name";
// Longer input lines are certainly not colours; keep only this much of them.
constexpr std::size_t kMaxKeptLine = 256;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(std::string_view digits, ColorRef* color) {
  if (digits.size() != 6) return false;
  unsigned channel[3];
  for (int i = 0; i < 3; ++i) {
    const int high = HexValue(digits[static_cast<std::size_t>(2 * i)]);
    const int low = HexValue(digits[static_cast<std::size_t>(2 * i + 1)]);
    if (high < 0 || low < 0) return false;
    channel[i] = static_cast<unsigned>(high * 16 + low);
  }
  *color = MakeColorRef(channel[0], channel[1], channel[2]);
  return true;
}

bool ParseDecimalChannel(std::string_view digits, unsigned* value) {
  if (digits.empty() || digits.size() > 3) return false;
  unsigned result = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<unsigned>(c - '0');
  }
  if (result > 255) return false;
  *value = result;
  return true;
}

bool ParseTriple(std::string_view text, ColorRef* color) {
  unsigned channel[3];
  for (int i = 0; i < 3; ++i) {
    const std::size_t comma = text.find(',');
    const bool last = i == 2;
    if (last != (comma == std::string_view::npos)) return false;
    const std::string_view part = last ? text : text.substr(0, comma);
    if (!ParseDecimalChannel(part, &channel[i])) return false;
    if (!last) text.remove_prefix(comma + 1);
  }
  *color = MakeColorRef(channel[0], channel[1], channel[2]);
  return true;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: %s [COLOUR...]\n"
               "Names colours the way the Tintora label does.\n"
               "\n"
               "A COLOUR is #RRGGBB, RRGGBB or R,G,B (decimal 0-255). Without COLOUR\n"
               "arguments, colours are read from standard input, one per line; blank\n"
               "lines are skipped.\n"
               "\n"
               "For each colour one tab-separated line is written:\n"
               "  #rrggbb  name  qualifier  J  C  H\n"
               "(the qualifier may be empty; J, C, H are CIECAM02 lightness, chroma and\n"
               "hue quadrature). A bad colour is reported on standard error and the rest\n"
               "are still answered.\n"
               "\n"
               "Exit status: 0 when every colour was understood; 1 when one was not, or\n"
               "when standard input could not be read or the answers not written; 2 for\n"
               "a usage error.\n"
               "\n"
               "  --help     show this text\n"
               "  --version  show the version\n",
               kProgramName);
}

// Reads whatever input is available now, up to 'size' bytes, straight from
// the descriptor: the namer then knows when it is about to wait for more, and
// flushes its answers exactly then. Returns the bytes read, 0 at the end of
// the input, -1 with errno set when reading fails. A read interrupted by a
// signal is tried again.
long ReadAvailable(std::FILE* in, char* buffer, std::size_t size) {
  for (;;) {
#ifdef _WIN32
    const long got = _read(_fileno(in), buffer, static_cast<unsigned>(size));
#else
    const long got = static_cast<long>(read(fileno(in), buffer, size));
#endif
    if (got >= 0 || errno != EINTR) return got;
  }
}

// Answers one token; returns false for a bad colour (already reported).
bool Answer(std::string_view token, long lineNumber, std::FILE* out, std::FILE* err) {
  ColorRef color = 0;
  if (!ParseColorToken(token, &color)) {
    std::fflush(out);  // keep answers and complaints in order on a shared terminal
    const std::string shown = DescribeToken(Trim(token));
    if (lineNumber > 0)
      std::fprintf(err, "%s: line %ld: not a colour: \"%s\"\n", kProgramName, lineNumber,
                   shown.c_str());
    else
      std::fprintf(err, "%s: not a colour: \"%s\"\n", kProgramName, shown.c_str());
    return false;
  }
  std::string line = FormatAnswerLine(color);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), out);
  return true;
}

// Flushes the answers; a failed write anywhere on the way turns the exit
// status into 1 and says so.
int FinishOutput(std::FILE* out, std::FILE* err, int status) {
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "%s: cannot write the answers\n", kProgramName);
    return 1;
  }
  return status;
}

}  // namespace

bool ParseColorToken(std::string_view token, ColorRef* color) {
  const std::string_view text = Trim(token);
  if (text.find(',') != std::string_view::npos) return ParseTriple(text, color);
  if (!text.empty() && text.front() == '#') return ParseHex(text.substr(1), color);
  return ParseHex(text, color);
}

std::string FormatAnswerLine(ColorRef color) {
  const AppearanceColor appearance = XyzToAppearance(SrgbToXyz(color));
  const LabelTexts texts = NameColor(appearance);
  char head[16];
  std::snprintf(head, sizeof head, "#%02x%02x%02x\t", RedOf(color), GreenOf(color), BlueOf(color));
  std::string line = head;
  line += Utf8FromUtf16(texts.name);
  line += '\t';
  line += Utf8FromUtf16(texts.qualifier);
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "\t%.6f\t%.6f\t%.6f", appearance.v[kJ], appearance.v[kC],
                appearance.v[kH]);
  line += numbers;
  return line;
}

std::string DescribeToken(std::string_view token) {
  constexpr std::size_t kShown = 64;
  std::string shown;
  for (std::size_t i = 0; i < token.size() && i < kShown; ++i) {
    const unsigned char c = static_cast<unsigned char>(token[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    }
  }
  if (token.size() > kShown) shown += "...";
  return shown;
}

int RunNamer(int argc, const char* const* argv, std::FILE* in, std::FILE* out, std::FILE* err) {
  bool anyBad = false;
  bool anyColourArgument = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsEnded && arg.size() >= 2 && arg[0] == '-' && arg[1] == '-') {
      if (arg == "--") {
        optionsEnded = true;
      } else if (arg == "--help") {
        PrintUsage(out);
        return FinishOutput(out, err, 0);
      } else if (arg == "--version") {
        std::fprintf(out, "%s %s\n", kProgramName, TINTORA_VERSION_STRING);
        return FinishOutput(out, err, 0);
      } else {
        std::fprintf(err, "%s: unknown option \"%s\" (try --help)\n", kProgramName,
                     DescribeToken(arg).c_str());
        return 2;
      }
    }
  }
  optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    anyColourArgument = true;
    if (!Answer(arg, 0, out, err)) anyBad = true;
  }

  if (!anyColourArgument) {
    std::string line;
    bool overlong = false;
    long lineNumber = 0;
    char chunk[65536];
    for (;;) {
      std::fflush(out);  // answer everything read so far before waiting for more
      const long readResult = ReadAvailable(in, chunk, sizeof chunk);
      if (readResult < 0) {
        // The input is cut short: what is left of its last line is no answer.
        std::fprintf(err, "%s: cannot read standard input: %s\n", kProgramName,
                     std::strerror(errno));
        anyBad = true;
        break;
      }
      const std::size_t got = static_cast<std::size_t>(readResult);
      for (std::size_t i = 0; i <= got; ++i) {
        const bool atEnd = i == got;
        if (atEnd && got != 0) break;  // the chunk is used up; read the next one
        const char c = atEnd ? '\n' : chunk[i];
        if (c != '\n') {
          if (line.size() < kMaxKeptLine)
            line += c;
          else
            overlong = true;
          continue;
        }
        if (atEnd && line.empty() && !overlong) break;  // nothing after the last line end
        ++lineNumber;
        if (overlong) {
          // Longer than any colour can be, whatever it holds.
          std::fprintf(err, "%s: line %ld: not a colour: \"%s\"\n", kProgramName, lineNumber,
                       DescribeToken(line + "...").c_str());
          anyBad = true;
        } else if (!Trim(line).empty() && !Answer(line, lineNumber, out, err)) {
          anyBad = true;
        }
        line.clear();
        overlong = false;
      }
      if (got == 0) break;
    }
  }

  return FinishOutput(out, err, anyBad ? 1 : 0);
}

}  // namespace tintora
