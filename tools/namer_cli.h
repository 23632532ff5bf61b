// The command-line colour namer: parsing, answer lines and the main loop,
// kept apart from main() so that tests and fuzzers can drive them.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "colour_types.h"

namespace tintora {

// Accepts "#RRGGBB", "RRGGBB" (hex digits in either case) and "R,G,B"
// (decimal 0-255, one to three digits each). Surrounding spaces and tabs are
// ignored. Returns false, leaving *color alone, for anything else.
bool ParseColorToken(std::string_view token, ColorRef* color);

// "#rrggbb\tname\tqualifier\tJ\tC\tH" for the colour, without a line end.
std::string FormatAnswerLine(ColorRef color);

// The token as it may be shown in a message: printable ASCII kept, other
// bytes escaped as \xHH, cut after 64 characters.
std::string DescribeToken(std::string_view token);

// Runs the whole program: options and colours from argv, or colours from
// 'in' when argv holds none. Returns the exit status (0 all good, 1 a bad
// colour, unreadable input or an output failure, 2 a usage error).
int RunNamer(int argc, const char* const* argv, std::FILE* in, std::FILE* out, std::FILE* err);

}  // namespace tintora
