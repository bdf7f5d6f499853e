#include "http_test_routes.h"

#include "stand_in_server.h"

namespace qa::test {

namespace {

std::string Page(std::string_view meta, std::string_view words, std::size_t fillerBeforeMeta = 0) {
  std::string page = "<html><head>";
  if (fillerBeforeMeta > 0) page += "<!--" + std::string(fillerBeforeMeta, '-') + "-->";
  page += meta;
  page += "<title>t</title></head><body><p>";
  page += words;
  page += "</p></body></html>";
  return page;
}

}  // namespace

std::string CharsetPage(std::string_view name) {
  if (name == "utf8-meta") {
    return Page("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">",
                kPageWordsUtf8);
  }
  if (name == "gbk-meta") return Page("<meta charset=\"gbk\">", kPageWordsGbk);
  if (name == "GBK-caps") return Page("<META charset=\"GBK\">", kPageWordsGbk);
  if (name == "late-meta") return Page("<meta charset=\"utf-8\">", kPageWordsUtf8, 1100);
  if (name == "none") return Page("", kPageWordsUtf8);
  return {};
}

std::string BytePattern(std::size_t n) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

void AddHttpTestRoutes(StandInServer& server) {
  httplib::Server& routes = server.Routes();
  using httplib::Request;
  using httplib::Response;

  routes.Get("/hello",
             [](const Request&, Response& res) { res.set_content("hello", "text/plain"); });

  auto echo = [](const Request& req, Response& res) {
    std::string text = req.method + " " + req.target + "\n";
    for (const auto& [name, value] : req.headers) text += name + ": " + value + "\n";
    text += "\n" + req.body;
    res.set_content(text, "text/plain");
  };
  routes.Get("/echo", echo);
  routes.Post("/echo", echo);
  routes.Put("/echo", echo);

  routes.Get(R"(/status/(\d+))", [](const Request& req, Response& res) {
    res.status = std::stoi(req.matches[1]);
    res.set_content("status " + std::string(req.matches[1]), "text/plain");
  });

  routes.Get(R"(/redirect/(\d+))", [](const Request& req, Response& res) {
    int hops = std::stoi(req.matches[1]);
    if (hops > 0) {
      res.set_redirect("/redirect/" + std::to_string(hops - 1), 302);
      res.set_header("Set-Cookie", "hop" + std::to_string(hops) + "=1; Path=/");
    } else {
      res.set_header("Set-Cookie", "final=1; Path=/");
      res.set_content("final", "text/plain");
    }
  });

  routes.Get("/redirect-to", [](const Request& req, Response& res) {
    res.set_redirect(req.get_param_value("url"), 302);
  });

  routes.Get("/set-cookie", [](const Request& req, Response& res) {
    for (const auto& [name, value] : req.params) {
      res.set_header("Set-Cookie", name + "=" + value + "; Path=/");
    }
    res.set_content("set", "text/plain");
  });

  routes.Get("/cookies", [](const Request& req, Response& res) {
    std::string lines;
    for (std::size_t i = 0; i < req.get_header_value_count("Cookie"); ++i) {
      if (i > 0) lines += " | ";
      lines += req.get_header_value("Cookie", i);
    }
    res.set_content(lines, "text/plain");
  });

  routes.Get("/redirect-with-cookie", [](const Request&, Response& res) {
    res.set_redirect("/cookies", 302);
    res.set_header("Set-Cookie", "hop=1; Path=/");
  });

  routes.Get(R"(/charset/([\w-]+))", [](const Request& req, Response& res) {
    std::string page = CharsetPage(std::string(req.matches[1]));
    if (page.empty()) {
      res.status = 404;
      return;
    }
    res.set_content(page, "text/html");
  });

  routes.Get("/zero-byte", [](const Request&, Response& res) {
    res.set_content(std::string("abc\0def", 7), "application/octet-stream");
  });

  routes.Get(R"(/bytes/(\d+))", [](const Request& req, Response& res) {
    res.set_content(BytePattern(std::stoul(req.matches[1])), "application/octet-stream");
  });

  routes.Get("/slow", [&server](const Request& req, Response& res) {
    server.Pause(std::chrono::milliseconds(std::stoi(req.get_param_value("ms"))));
    res.set_content("slow", "text/plain");
  });

  routes.Get("/stall", [&server](const Request&, Response& res) {
    server.Pause(std::chrono::hours(1));
    res.status = 503;
  });

  routes.Get("/half-body", [](const Request&, Response& res) {
    res.set_content_provider(2000, "application/octet-stream",
                             [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                               if (offset >= 1000) return false;  // breaks the connection
                               std::string half(1000, 'x');
                               sink.write(half.data(), half.size());
                               return true;
                             });
  });
}

}  // namespace qa::test
