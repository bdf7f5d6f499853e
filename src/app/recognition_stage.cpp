#include "app/recognition_stage.h"

#include "app/format_text.h"
#include "app/question_cleanup.h"
#include "capture/reencode_image.h"
#include "encoding/base64.h"
#include "encoding/url_encode.h"
#include "net/header_text.h"
#include "net/inet_request.h"
#include "script/json_document.h"

namespace qa {

namespace {

// 未找到返回数组,请确认已将iphone投屏至pc
constexpr std::string_view kNoLines =
    "\xCE\xB4\xD5\xD2\xB5\xBD\xB7\xB5\xBB\xD8\xCA\xFD\xD7\xE9,\xC7\xEB\xC8\xB7\xC8\xCF\xD2\xD1\xBD"
    "\xABiphone\xCD\xB6\xC6\xC1\xD6\xC1pc";
constexpr std::string_view kLineBreak = "\r\n";
constexpr int kOptionCount = 3;

// The recognised lines of the OCR reply, top to bottom.
TextArray OcrLines(const Bytes& reply) {
  JsonDocument document;
  document.Parse(Utf8BodyToText(reply));
  const int n = document.GetMemberCount("words_result");
  Text joined;
  for (int i = 0; i < n; ++i) {
    joined += document.GetText("words_result[" + IntToText(i) + "].words");
    joined += kLineBreak;
  }
  return SplitText(joined, kLineBreak);
}

}  // namespace

bool SplitQuestionAndOptions(const TextArray& lines, Text& question, TextArray& options) {
  const std::size_t m = lines.size();
  if (m < 4 || m > 6) return false;
  switch (m) {
    case 4:
      question = FormatText(lines[0]);
      break;
    case 5:
      question = FormatText(lines[0]) + TrimText(FormatText(lines[1]));
      break;
    default:
      question =
          FormatText(lines[0]) + TrimText(FormatText(lines[1]) + TrimText(FormatText(lines[2])));
      break;
  }
  options.clear();
  for (std::size_t i = m - kOptionCount; i < m; ++i) options.push_back(FormatText(lines[i]));
  return true;
}

void RecognitionStage(ControlOperations& controls, ProcessState& state, const Endpoints& endpoints,
                      Bytes& image) {
  const Text url = endpoints.OcrUrl(state.accessToken);
  ReencodeImage(image, kImageJpeg, {}, &image);
  const Text body = "image=" + UrlEncode(Base64Encode(image), true, true);
  InetRequestArgs post;
  post.method = 1;  // POST
  post.postText = body;
  const TextArray lines = OcrLines(InetRequest(url, post));

  if (lines.size() < 4) {
    controls.ShowMessage(Text(kNoLines), kMessageOk);
    return;
  }
  Text question;
  TextArray options;
  if (!SplitQuestionAndOptions(lines, question, options)) return;  // 7 lines or more

  question = CleanQuestion(question);
  state.SetQuestionText(question);
  if (const Text advice = NegationAdvice(question); !advice.empty()) controls.AppendText(advice);
  controls.AppendText(question + Text(kLineBreak));
  controls.SetAddress(endpoints.BrowserSearchUrl(question));
  for (const Text& option : options) {
    const int row = controls.InsertRow();
    controls.SetCellText(row, 0, option);
  }
}

}  // namespace qa
