// The recognition stage of a search: the cut-out question area goes to the
// OCR service, and the recognised lines become the question (shown, cleaned
// and searched in the browser) and the three options (the list rows).
#pragma once

#include "app/control_operations.h"
#include "app/endpoints.h"
#include "app/process_state.h"

namespace qa {

// `image` holds the question area (a BMP file) and is replaced by its JPEG
// form. With 4, 5 or 6 recognised lines the question goes to QuestionText,
// 识别编辑框 (below any advice line) and the browser, and the three options to
// the list; with fewer lines the user is told that nothing was found; with 7
// or more nothing happens.
void RecognitionStage(ControlOperations& controls, ProcessState& state, const Endpoints& endpoints,
                      Bytes& image);

// The question and the options made of the recognised lines: false, leaving
// both alone, unless there are 4, 5 or 6 lines. The question is not cleaned
// yet.
bool SplitQuestionAndOptions(const TextArray& lines, Text& question, TextArray& options);

}  // namespace qa
