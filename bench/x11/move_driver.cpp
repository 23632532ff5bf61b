// Sends relative pointer moves through XTEST, as a physical mouse would:
// alternately +step and -step pixels along x, at a fixed rate, paced to
// absolute deadlines so that the rate holds over the whole run.
//
//   move_driver COUNT RATE [STEP]
//
// Prints the number of moves sent and the seconds taken.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

void AddNanoseconds(timespec* t, long long ns) {
  long long total = t->tv_nsec + ns;
  t->tv_sec += static_cast<time_t>(total / 1000000000LL);
  t->tv_nsec = static_cast<long>(total % 1000000000LL);
}

double Seconds(const timespec& a, const timespec& b) {
  return static_cast<double>(b.tv_sec - a.tv_sec) +
         static_cast<double>(b.tv_nsec - a.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: move_driver COUNT RATE [STEP]\n");
    return 2;
  }
  const long count = std::strtol(argv[1], nullptr, 10);
  const long rate = std::strtol(argv[2], nullptr, 10);
  const int step = argc > 3 ? static_cast<int>(std::strtol(argv[3], nullptr, 10)) : 1;
  if (count <= 0 || rate <= 0) return 2;
  Display* display = XOpenDisplay(nullptr);
  int event = 0;
  int error = 0;
  int major = 0;
  int minor = 0;
  if (display == nullptr || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "move_driver: no display with XTEST\n");
    return 1;
  }
  const long long interval = 1000000000LL / rate;
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  timespec next = start;
  for (long i = 0; i < count; ++i) {
    XTestFakeRelativeMotionEvent(display, (i % 2 == 0) ? step : -step, 0, CurrentTime);
    XFlush(display);
    AddNanoseconds(&next, interval);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
    }
  }
  XSync(display, False);
  timespec end{};
  clock_gettime(CLOCK_MONOTONIC, &end);
  std::printf("%ld %.3f\n", count, Seconds(start, end));
  XCloseDisplay(display);
  return 0;
}
