#include "app/endpoints.h"

#include "encoding/url_encode.h"

namespace qa {

Text Endpoints::TokenUrl(const Text& apiKey, const Text& secretKey) const {
  // The keys are percent-encoded so that a space or "&" typed into a key box
  // cannot break the query; real keys (letters and digits) come out unchanged.
  return ocrBase + "/oauth/2.0/token?grant_type=client_credentials&client_id=" + UrlEncode(apiKey) +
         "&client_secret=" + UrlEncode(secretKey);
}

Text Endpoints::OcrUrl(const Text& accessToken) const {
  return ocrBase + "/rest/2.0/ocr/v1/general_basic?access_token=" + accessToken;
}

Text Endpoints::SearchPageUrl(const Text& question, int offset) const {
  return searchBase + "/s?wd=" + UrlEncode(question, true, true) + "&pn=" + IntToText(offset);
}

Text Endpoints::BrowserSearchUrl(const Text& question) const {
  // Percent-encoded as UTF-8, so the browser receives a valid address.
  return searchBase + "/s?wd=" + UrlEncode(question, true, true);
}

}  // namespace qa
