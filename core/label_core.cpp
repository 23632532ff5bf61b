#include "label_core.h"

namespace tintora {

LabelState InitialLabelState() {
  LabelState state{};
  state.texts = InitialLabelTexts();
  return state;
}

int NextSamplingPaused(int paused, std::uint16_t buttonFlags) {
  if (buttonFlags == kLeftButtonDown) return 1;
  if (buttonFlags == kLeftButtonUp) return 0;
  return paused;
}

void ApplyPointerReport(LabelState* state, std::uint16_t buttonFlags) {
  state->samplingPaused = NextSamplingPaused(state->samplingPaused, buttonFlags);
  state->sampleDue = true;
}

bool SampleWanted(const LabelState& state) { return state.sampleDue && state.samplingPaused == 0; }

std::optional<Point> PointToSample(LabelState* state, const Rect& labelScreenRect, Point pointer) {
  state->labelScreenRect = labelScreenRect;
  state->pointerPos = pointer;
  const bool wanted = SampleWanted(*state);
  state->sampleDue = false;
  if (!wanted) return std::nullopt;
  if (Contains(labelScreenRect, pointer)) return std::nullopt;
  return pointer;
}

bool ApplySample(LabelState* state, ColorRef sample) {
  state->sampleColor = sample;
  if (sample == state->lastColor) return false;
  state->lastColor = sample;
  state->texts = NameColor(XyzToAppearance(SrgbToXyz(sample)));
  return true;
}

MenuCommand MenuCommandFromId(std::uintptr_t id) {
  switch (id) {
    case kCmdExit:
      return MenuCommand::Exit;
    case kCmdAbout:
      return MenuCommand::About;
    case kCmdLaunchOnStartup:
      return MenuCommand::ToggleAutostart;
    default:
      return MenuCommand::None;
  }
}

const LabelMenuItem kLabelMenuItems[kLabelMenuItemCount] = {
    {kCmdLaunchOnStartup, u"Launch on startup"},
    {kCmdAbout, u"About"},
    {kCmdExit, u"Exit"},
};

const Utf16Char kAboutTitle[] = u"About";

AutostartToggle ToggleAutostart(int autostartEnabled) {
  if (autostartEnabled != 0) return AutostartToggle{false, 0};
  return AutostartToggle{true, 1};
}

}  // namespace tintora
