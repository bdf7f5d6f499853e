// Where the remote services live. The program uses the real hosts; tests hand
// the commands local stand-ins instead.
#pragma once

#include <string>

#include "text/text.h"

namespace qa {

struct Endpoints {
  // Scheme and host of the token and OCR endpoints, without a trailing "/".
  Text ocrBase = "https://aip.baidubce.com";
  // Scheme and host of the web search.
  Text searchBase = "https://www.baidu.com";
  // The OCR provider's product page, where keys are obtained.
  Text productPage = "https://cloud.baidu.com/product/ocr";
  // A PEM file of extra certificate authorities trusted for HTTPS; empty uses
  // the system's store only.
  std::string caFile;

  // The token request for the two keys, each percent-encoded.
  Text TokenUrl(const Text& apiKey, const Text& secretKey) const;
  // The general OCR endpoint with the token as it stands.
  Text OcrUrl(const Text& accessToken) const;
  // One page of search results for the question (UTF-8, percent-encoded).
  Text SearchPageUrl(const Text& question, int offset) const;
  // The search page the embedded browser shows for the question.
  Text BrowserSearchUrl(const Text& question) const;
};

}  // namespace qa
