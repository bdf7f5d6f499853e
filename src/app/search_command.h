// The search command (按钮1, F9): from one click, the picture of the mirror
// window, the cut-out question area, its recognition and the start of the
// options' scoring.
#pragma once

#include <functional>

#include "app/control_operations.h"
#include "app/endpoints.h"
#include "app/process_state.h"
#include "app/scoring_dispatcher.h"
#include "capture/mirror_window.h"

namespace qa {

struct SearchCommandContext {
  ControlOperations& controls;
  ProcessState& state;
  const Endpoints& endpoints;
  ScoringDispatcher& scoring;
  // Where the mirror window is found and copied from.
  std::function<WindowHandle()> findMirrorWindow = FindMirrorWindow;
  std::function<Bytes(WindowHandle)> screenshotWindow = ScreenshotWindow;
};

// Silences the scoring of earlier searches, has connections for the result
// pages made ready (ScoringDispatcher::PrepareForSearch), empties the list and 识别编辑框,
// shows the mirror window (or, without one, the whole screen) in 图片框1,
// cuts the area under 透明标签1 out of what 图片框1 shows into 图片框2, runs
// the recognition stage on it and starts the scoring of the new rows. Returns
// without waiting for the scoring.
void SearchCommand(SearchCommandContext& context);

}  // namespace qa
