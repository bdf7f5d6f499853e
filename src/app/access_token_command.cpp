#include "app/access_token_command.h"

#include "net/header_text.h"
#include "net/inet_request.h"
#include "script/json_document.h"

namespace qa {

namespace {

// 请填写百度ocr识别ak,sk
constexpr std::string_view kKeysMissing =
    "\xC7\xEB\xCC\xEE\xD0\xB4\xB0\xD9\xB6\xC8ocr\xCA\xB6\xB1\xF0"
    "ak,sk";
constexpr std::string_view kErrorTitle = "\xB4\xED\xCE\xF3";  // 错误
// 未检测到access_token,请检测ak与sk
constexpr std::string_view kNoToken =
    "\xCE\xB4\xBC\xEC\xB2\xE2\xB5\xBD"
    "access_token,\xC7\xEB\xBC\xEC\xB2\xE2"
    "ak\xD3\xEBsk";
// 获取access_token成功,请在答题时点击搜索按钮查询
constexpr std::string_view kTokenReceived =
    "\xBB\xF1\xC8\xA1"
    "access_token\xB3\xC9\xB9\xA6,\xC7\xEB\xD4\xDA\xB4\xF0\xCC\xE2\xCA\xB1\xB5\xE3\xBB\xF7\xCB\xD1"
    "\xCB\xF7\xB0\xB4\xC5\xA5\xB2\xE9\xD1\xAF";

}  // namespace

Text FetchAccessToken(const ProcessState& state, const Endpoints& endpoints) {
  JsonDocument reply;
  reply.Parse(Utf8BodyToText(InetRequest(endpoints.TokenUrl(state.apiKey, state.secretKey))));
  return reply.GetText("access_token");
}

void AccessTokenCommand(ControlOperations& controls, ProcessState& state,
                        const Endpoints& endpoints, const ConnectionWarmer& warm) {
  state.apiKey = controls.GetText(EditBox::ApiKey);
  state.secretKey = controls.GetText(EditBox::SecretKey);
  if (state.apiKey.empty() || state.secretKey.empty()) {
    controls.ShowMessage(Text(kKeysMissing), kMessageOk, Text(kErrorTitle));
    controls.OpenInBrowser(endpoints.productPage);
    return;
  }
  Text token = FetchAccessToken(state, endpoints);
  if (token.empty()) {
    // The token that worked before (if any) stays: a failed retry must not
    // break every later search.
    controls.ShowMessage(Text(kNoToken), kMessageExclamation);
    return;
  }
  state.accessToken = std::move(token);
  if (warm) {
    warm(endpoints.ocrBase, 1);
    warm(endpoints.searchBase, kScoredPages);
  }
  controls.ShowMessage(Text(kTokenReceived), kMessageOk);
}

}  // namespace qa
