// The two uses of the script services: reading an OCR reply and sniffing the
// character set of a web page.
#include <benchmark/benchmark.h>

#include "script/json_document.h"
#include "script/regex_matcher.h"

namespace qa {
namespace {

// Four recognised lines: "1.下列哪个是中国的城市?", "A.北京", "B.巴黎", "C.伦敦" (GBK).
const char kOcrReply[] =
    "{\"log_id\":7359271049181529418,\"words_result_num\":4,\"words_result\":["
    "{\"words\":\"1.\xCF\xC2\xC1\xD0\xC4\xC4\xB8\xF6\xCA\xC7\xD6\xD0\xB9\xFA\xB5\xC4\xB3\xC7\xCA"
    "\xD0?\"},"
    "{\"words\":\"A.\xB1\xB1\xBE\xA9\"},"
    "{\"words\":\"B.\xB0\xCD\xC0\xE8\"},"
    "{\"words\":\"C.\xC2\xD7\xB6\xD8\"}]}";

void BM_ReadOcrReply(benchmark::State& state) {
  for (auto _ : state) {
    JsonDocument doc;
    doc.Parse(kOcrReply);
    const int count = doc.GetMemberCount("words_result");
    for (int n = 0; n < count; ++n) {
      benchmark::DoNotOptimize(doc.GetText("words_result[" + IntToText(n) + "].words"));
    }
  }
}
BENCHMARK(BM_ReadOcrReply)->Unit(benchmark::kMillisecond);

// The head of a page as a web server sends it, cut to 1024 bytes.
Text PageHead() {
  Text page =
      "<!DOCTYPE html>\n<html>\n<head>\n"
      "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge,chrome=1\">\n"
      "<meta http-equiv=\"content-type\" content=\"text/html;charset=utf-8\">\n"
      "<meta name=\"referrer\" content=\"always\">\n"
      "<title>\xB0\xD9\xB6\xC8\xCB\xD1\xCB\xF7</title>\n"
      "<link rel=\"stylesheet\" type=\"text/css\" href=\"/css/result.css\">\n"
      "<script>var config = {async: true, timeout: 3000, tpl: 'result'};</script>\n";
  while (page.size() < 1024) page += "<div class=\"c-container\" data-click=\"{}\"></div>\n";
  return page.substr(0, 1024);
}

void BM_SniffCharset(benchmark::State& state) {
  const Text head = PageHead();
  for (auto _ : state) {
    RegexMatcher re;
    if (re.Match("<meta.+?charset=[^\\w]?([-\\w]+)", head)) {
      benchmark::DoNotOptimize(re.GetSubMatchText(1, 1));
    }
  }
}
BENCHMARK(BM_SniffCharset)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qa

BENCHMARK_MAIN();
