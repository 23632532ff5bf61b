// What the label does, written once for every shell: its state, what a
// pointer report does, what a sample does and what the menu's commands
// decide. Data in, decisions out: a shell gathers the inputs from its
// platform, calls these, and applies the answers.
//
// Reports come in bursts: a shell reads every report already queued, each
// one's transitions applied in order (ApplyPointerReport), and then samples
// once, at the pointer as it is then (PointToSample, ApplySample). While the
// label keeps up every burst is one report, so this is a sample per report;
// when reports come faster than samples, the label still reads them all and
// never falls behind the pointer.
#pragma once

#include <cstdint>
#include <optional>

#include "colour_pipeline.h"
#include "geometry.h"
#include "utf_text.h"

namespace tintora {

// A report's button transitions, as the bits of Windows' raw mouse button
// flags (RI_MOUSE_LEFT_BUTTON_DOWN, RI_MOUSE_LEFT_BUTTON_UP). Every shell
// gives its own button events in these terms.
constexpr std::uint16_t kLeftButtonDown = 0x0001;
constexpr std::uint16_t kLeftButtonUp = 0x0002;

struct LabelState {
  int samplingPaused;    // nonzero while the left button is held
  Rect labelScreenRect;  // the visible label in screen coordinates, as last gathered
  Point pointerPos;      // the pointer in screen coordinates, as last gathered
  ColorRef sampleColor;  // the latest sample: the label's background (black at first)
  ColorRef lastColor;    // the sample the texts describe (black at first)
  LabelTexts texts;      // "Mossvane" and empty until a colour is named
  bool sampleDue;        // a report came since the last sample decision
};

LabelState InitialLabelState();

// The pause flag after a report with the given button flags. Only a report
// that is exactly the left press pauses and exactly the left release
// resumes; combined transitions leave the flag as it was.
int NextSamplingPaused(int paused, std::uint16_t buttonFlags);

// One pointer report, in the order the reports came: applies its button
// transitions; a sample is due at the end of the burst.
void ApplyPointerReport(LabelState* state, std::uint16_t buttonFlags);

// At the end of a burst: whether a sample would be taken at all (a report
// came and sampling is not paused), so that a shell whose look at the label
// and the pointer costs a round trip looks only then.
bool SampleWanted(const LabelState& state);

// At the end of a burst (no report left queued): where to sample, once,
// given the visible label's rectangle and the pointer as they are now (both
// are kept in the state). Nothing when no report came since the last
// decision, while sampling is paused, or while the pointer is over the
// label, which keeps its last colour. Ends the burst.
std::optional<Point> PointToSample(LabelState* state, const Rect& labelScreenRect, Point pointer);

// What a sample does: it becomes the label's background. A colour other
// than the one the texts describe runs the colour pipeline and gives new
// texts; true then, when the label must be repainted.
bool ApplySample(LabelState* state, ColorRef sample);

// ---- The menu ---------------------------------------------------------------

constexpr unsigned kCmdExit = 2001;
constexpr unsigned kCmdAbout = 2002;
constexpr unsigned kCmdLaunchOnStartup = 2003;

enum class MenuCommand { None, Exit, About, ToggleAutostart };

// The command of a menu item's identifier. The whole value is compared, so a
// value that carries anything beyond an identifier is no command.
MenuCommand MenuCommandFromId(std::uintptr_t id);

// The menu's items, top to bottom.
struct LabelMenuItem {
  unsigned id;
  const Utf16Char* text;
};
constexpr int kLabelMenuItemCount = 3;
extern const LabelMenuItem kLabelMenuItems[kLabelMenuItemCount];
extern const Utf16Char kAboutTitle[];  // "About"

// "Launch on startup" chosen: turn the startup entry off when the flag says
// it is on, else on. The flag follows the user's choice whatever the
// platform's store answers, until the next start reads the store again.
struct AutostartToggle {
  bool enable;    // true: write the entry; false: remove it
  int flagAfter;  // the flag to keep: 1 or 0
};
AutostartToggle ToggleAutostart(int autostartEnabled);

}  // namespace tintora
