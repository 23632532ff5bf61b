// Feeds arbitrary bytes to the namer, both as one token and as its standard
// input; nothing may crash or read out of bounds, and every answer line must
// have the six tab-separated fields.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "namer_cli.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tintora;
  const std::string_view token(reinterpret_cast<const char*>(data), size);
  ColorRef color = 0;
  if (ParseColorToken(token, &color) && (color >> 24) != 0) std::abort();
  if (DescribeToken(token).size() > 64 * 4 + 3) std::abort();

  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  if (in == nullptr || out == nullptr || err == nullptr) std::abort();
  std::fwrite(data, 1, size, in);
  std::rewind(in);
  const char* argv[] = {"tintora-name"};
  const int status = RunNamer(1, argv, in, out, err);
  if (status != 0 && status != 1) std::abort();

  std::rewind(out);
  std::string line;
  for (int c; (c = std::getc(out)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    std::size_t tabs = 0;
    for (char ch : line) tabs += ch == '\t';
    if (tabs != 5 || line[0] != '#') std::abort();
    line.clear();
  }
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  return 0;
}
