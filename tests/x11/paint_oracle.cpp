// What the label's core paints for a colour, for the X11 end-to-end tests:
//   x11_paint_oracle RRGGBB...  ->  one line each: RRGGBB FR FG FB GREY
// (the frame's channels and the text grey).
#include <cstdio>
#include <cstdlib>

#include "label_layout.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(argv[i], &end, 16);
    if (end == argv[i] || *end != '\0' || rgb > 0xFFFFFFul) {
      std::fprintf(stderr, "x11_paint_oracle: not a colour: %s\n", argv[i]);
      return 1;
    }
    const tintora::ColorRef sample = tintora::MakeColorRef(static_cast<unsigned>(rgb >> 16),
                                                           static_cast<unsigned>((rgb >> 8) & 0xFF),
                                                           static_cast<unsigned>(rgb & 0xFF));
    const tintora::ColorRef frame = tintora::FrameColor(sample);
    std::printf("%06lx %u %u %u %d\n", rgb, tintora::RedOf(frame), tintora::GreenOf(frame),
                tintora::BlueOf(frame), tintora::TextGrey(sample));
  }
  return 0;
}
