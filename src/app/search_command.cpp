#include "app/search_command.h"

#include "app/recognition_stage.h"
#include "capture/capture_window.h"
#include "capture/crop_bitmap.h"

namespace qa {

void SearchCommand(SearchCommandContext& context) {
  ControlOperations& controls = context.controls;
  // Nothing of an earlier search may land in this search's rows.
  context.scoring.CancelAll();
  // The result pages follow the recognition: have their connections opened
  // while the picture is taken and uploaded.
  context.scoring.PrepareForSearch();
  controls.DeleteAllRows();
  controls.SetText(EditBox::Recognition, {});

  const WindowHandle mirror = context.findMirrorWindow();
  controls.SetPicture(PictureBox::Screen, context.screenshotWindow(mirror));
  controls.PumpEvents(1);

  const CaptureRegion region = controls.GetCaptureRegion();
  Bytes crop = CropBitmap(CaptureWindow(controls.ScreenBoxWindow()), region.left, region.top,
                          region.width, region.height);
  controls.SetPicture(PictureBox::Crop, crop);
  crop.clear();

  Bytes image = controls.GetPicture(PictureBox::Crop);
  RecognitionStage(controls, context.state, context.endpoints, image);

  context.scoring.Start(context.state.QuestionText());
}

}  // namespace qa
