// Portable decisions of the load drivers (mouse injector, colour patches,
// raw-input sink). No Windows headers: everything here builds and is tested
// natively; the Windows programs only gather inputs and apply the results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry.h"

namespace tintora {
namespace drive {

using tintora::Contains;
using tintora::Point;
using tintora::Rect;

// The screen the patch window covers: the upper three quarters split into a
// left patch and a right patch of different colours, and a marker strip along
// the bottom quarter in a third colour. Moving the pointer onto the marker is
// how the injector knows when the label has caught up with its queue.
struct PatchLayout {
  Rect left, right, marker;
};
PatchLayout LayoutPatches(int screenWidth, int screenHeight);

// Candidate points inside `area`, at least `margin` pixels from its edges,
// outside every rectangle of `avoid` (also by `margin`), ordered from the
// centre of the area outward. The caller checks the screen colour of each in
// turn and keeps the first that shows the expected patch.
std::vector<Point> CandidatePoints(const Rect& area, const std::vector<Rect>& avoid, int margin);

// Normalised coordinate for an absolute SendInput move that lands on pixel
// `pixel` of an axis `extent` pixels long: the centre of the pixel, so that
// the system's mapping norm * extent / 65536 gives `pixel` back.
int NormalisedFromPixel(int pixel, int extent);
int PixelFromNormalised(int normalised, int extent);

// Colours as 0xRRGGBB parsed from "RRGGBB" or "#RRGGBB"; false for bad text.
bool ParseRgb(const std::string& text, std::uint32_t* rgb);

enum class ColourMode { kChange, kSame };
enum class MoveMode { kAbsolute, kRelative };

struct InjectOptions {
  long long events = 20000;  // raw events in the measured sequence
  ColourMode colour = ColourMode::kChange;
  MoveMode move = MoveMode::kAbsolute;
  double rate = 1000.0;            // events per second; 0 sends as fast as possible
  long long syncEvery = 1000;      // marker sync + sample point; 0 only at the end
  long long pingEvery = 1000;      // SendMessageTimeout(WM_NULL) to the label
  long long warmupEvents = 10000;  // resource figures before this are warm-up
  int syncTimeoutMs = 60000;       // how long the label may take to catch up
  bool needLabel = true;           // false: no label is running (sink-only phase)
  bool needSink = false;           // true: wait for the raw-input sink to count all
  // Wait after every event until the label shows its colour. The label reads
  // the pointer afresh when it handles an event, so events that queue up
  // while it is busy all sample wherever the pointer is by then; lock-step
  // makes every event sample, compute and repaint (kChange only).
  bool lockstep = false;
  std::uint32_t leftRgb = 0xC83228;  // patch colours as 0xRRGGBB
  std::uint32_t rightRgb = 0x2864C8;
  std::uint32_t markerRgb = 0x28B43C;
};

// Parses the injector's command line (arguments without the program name).
// On failure returns false and puts a one-line reason into *error.
bool ParseInjectOptions(const std::vector<std::string>& args, InjectOptions* options,
                        std::string* error);

// Which of the three points each event of the measured sequence visits.
enum class Target { kFirst, kSecond, kMarker };

// The event plan: `events` moves alternating first/second (in kSame mode
// both points lie in the same patch), with a marker move after every
// `syncEvery` events and always one at the end. Returns the targets in order.
std::vector<Target> PlanEvents(long long events, long long syncEvery);

// Times the label's colour pipeline must run for the plan, given the colour
// of each target and the colour the label last computed (0 at start-up,
// which is black, so a first black sample computes nothing).
long long ExpectedColourChanges(const std::vector<Target>& plan, std::uint32_t firstRgb,
                                std::uint32_t secondRgb, std::uint32_t markerRgb,
                                std::uint32_t lastRgb);

// Whether a resource figure stays flat after warm-up: the maximum of the
// samples taken at or after `warmupEvents` may exceed the first of them by
// at most max(absoluteSlack, reference * relativeSlack).
struct Sample {
  long long events;
  long long value;
};
struct FlatVerdict {
  bool measured = false;  // enough samples after warm-up to judge
  bool flat = false;
  long long reference = 0;  // first value at or after warm-up
  long long maximum = 0;    // highest value at or after warm-up
  long long allowed = 0;    // reference + slack
};
FlatVerdict JudgeFlat(const std::vector<Sample>& samples, long long warmupEvents,
                      long long absoluteSlack, double relativeSlack);

// Pacing: the time (in microseconds after the start of a paced stretch) at
// which event number `index` of that stretch is due.
long long DueMicroseconds(long long index, double rate);

}  // namespace drive
}  // namespace tintora
