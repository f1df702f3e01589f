// The web view's request rules and actions as a hostile client meets them:
// whatever the method, path, headers and body, a request is either let through
// to a route that takes it, with this server's Host and token, or answered
// with a 4xx and a reason; an action body parses or says why not. The input as
// a head coming in pieces is read within its bounds, as it would be whole.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/serve/Events.h"
#include "sim/serve/Requests.h"
#include "tests/fuzz/FuzzTarget.h"

namespace {

constexpr int kPort = 8123;
const char* const kToken = "0123456789abcdef0123456789abcdef";

/// The input's lines: method, path, host, origin, fetch site, token, length, type; the rest is the body.
serve::RequestFacts factsOf(std::string_view input, std::string& body) {
  std::vector<std::string> fields;
  while (fields.size() < 8) {
    std::size_t end = input.find('\n');
    fields.emplace_back(input.substr(0, end));
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
  }
  body = std::string(input);
  auto optional = [](const std::string& field) -> std::optional<std::string> {
    if (field == "-") return std::nullopt;
    return field;
  };
  serve::RequestFacts facts;
  facts.method = fields[0];
  facts.path = fields[1];
  facts.host = optional(fields[2]);
  facts.origin = optional(fields[3]);
  facts.fetchSite = optional(fields[4]);
  facts.token = optional(fields[5]);
  facts.contentLength = optional(fields[6]);
  facts.contentType = optional(fields[7]);
  return facts;
}

void checkHead(std::string_view input) {
  using State = serve::HeadReader::State;
  serve::HeadReader whole, pieces;
  State atOnce = whole.scan(input);
  State inPieces = State::Reading;
  std::size_t step = input.empty() ? 1 : 1 + static_cast<unsigned char>(input[0]) % 7;
  for (std::size_t have = 0; inPieces == State::Reading && have < input.size();) {
    have = std::min(input.size(), have + step);
    inPieces = pieces.scan(input.substr(0, have));
  }
  if (atOnce != inPieces) std::abort();
  if (atOnce == State::Whole) {
    std::string_view head = input.substr(0, whole.length());
    if (whole.length() != pieces.length() || head.size() > serve::kLargestHead || !head.ends_with("\n\r\n")) std::abort();
    if (static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n')) > serve::kMostHeadLines) std::abort();
  }
  if (atOnce == State::Reading && input.size() > serve::kLargestHead) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  checkHead(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string body;
  serve::RequestFacts facts = factsOf(std::string_view(reinterpret_cast<const char*>(data), size), body);
  serve::Verdict verdict = serve::admit(facts, serve::Policy{kPort, kToken});
  if (verdict) {
    serve::Route route = serve::routeOf(facts.path);
    if (route == serve::Route::NotFound || !serve::allows(route, facts.method)) std::abort();
    if (!facts.token || *facts.token != kToken || !facts.host) std::abort();
    if (facts.path.find("..") != std::string::npos && route != serve::Route::Sound) std::abort();
    if (route == serve::Route::Press || route == serve::Route::Ringer || route == serve::Route::Tap ||
        route == serve::Route::ClearLog) {
      auto parsed = serve::parseAction(route, body);
      if (parsed && parsed->kind.empty()) std::abort();
      if (!parsed && parsed.error().message().empty()) std::abort();
    }
  } else if (verdict.status < 400 || verdict.status > 499 || verdict.reason.empty()) {
    std::abort();
  }
  if (auto key = serve::soundKey(facts.path))
    if (key->empty() || key->size() > 64 || key->find_first_not_of("0123456789abcdef") != std::string::npos) std::abort();
  // An event stays one event on the wire, whatever its data holds.
  std::string wire = serve::Event{1, "sound", body}.wire();
  if (wire.find("\n\n") != wire.size() - 2) std::abort();
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  std::string own = std::string("127.0.0.1:") + std::to_string(kPort);
  std::string origin = "http://" + own;
  auto request = [&](const std::string& method, const std::string& path, const std::string& token,
                     const std::string& length, const std::string& body, const std::string& host = "") {
    return method + "\n" + path + "\n" + (host.empty() ? own : host) + "\n" + origin + "\nsame-origin\n" + token + "\n" +
           length + "\napplication/json\n" + body;
  };
  return {
      request("GET", "/", kToken, "-", ""),
      request("GET", "/sounds/0123456789abcdef00001000.wav", kToken, "-", ""),
      request("GET", "/sounds/../../etc/passwd.wav", kToken, "-", ""),
      request("GET", "/screen", "wrong", "-", ""),
      request("GET", "/screen", kToken, "-", "", "attacker.example:8123"),
      request("POST", "/press", kToken, "15", R"({"button":"up"})"),
      request("POST", "/ringer", kToken, "17", R"({"mode":"silent"})"),
      request("POST", "/tap", kToken, "50", R"({"target":"row","section":1,"row":0,"screen":3})"),
      request("POST", "/tap", kToken, "40", R"({"target":"mail","answer":"send","screen":7})"),
      request("POST", "/tap", kToken, "99999999", "{"),
      request("DELETE", "/", kToken, "-", ""),
      request("POST", "/clear-log", kToken, "2", "{}"),
      request("POST", "/tap", kToken, "31", "{\"target\":\n\"back\",\r\n\"screen\":1}\r"),
      "GET / HTTP/1.1\r\nHost: 127.0.0.1:8123\r\nX: y\n\r\n{}",
      "\r\n\r\n" + std::string(200, '\n'),
  };
}
