#include "sim/serve/Requests.h"

#include <sys/random.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace serve {

namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

/// The names this server answers to: only its loopback address and "localhost", with its port.
bool isOwnAuthority(std::string_view authority, int port) {
  std::string name = lower(authority);
  for (const char* host : {"127.0.0.1", "localhost"}) {
    std::string own = std::string(host) + ":" + std::to_string(port);
    if (name == own || (port == 80 && name == host)) return true;
  }
  return false;
}

bool isDecimal(std::string_view text) {
  return !text.empty() && text.size() <= 18 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

Verdict refuse(int status, std::string reason) { return Verdict{status, std::move(reason)}; }

}  // namespace

Route routeOf(std::string_view path) {
  if (path == "/" || path == "/index.html") return Route::Page;
  if (path == "/app.js") return Route::Script;
  if (path == "/app.css") return Route::Style;
  if (path == "/events") return Route::Events;
  if (path == "/screen") return Route::Screen;
  if (path == "/screen.png") return Route::ScreenImage;
  if (path == "/press") return Route::Press;
  if (path == "/ringer") return Route::Ringer;
  if (path == "/tap") return Route::Tap;
  if (path == "/clear-log") return Route::ClearLog;
  if (soundKey(path)) return Route::Sound;
  return Route::NotFound;
}

bool allows(Route route, std::string_view method) {
  bool changes = route == Route::Press || route == Route::Ringer || route == Route::Tap || route == Route::ClearLog;
  return changes ? method == "POST" : (method == "GET" || method == "HEAD");
}

std::optional<std::string> soundKey(std::string_view path) {
  constexpr std::string_view prefix = "/sounds/", suffix = ".wav";
  if (path.size() <= prefix.size() + suffix.size() || !path.starts_with(prefix) || !path.ends_with(suffix))
    return std::nullopt;
  std::string_view key = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
  if (key.size() > 64 || !std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
      }))
    return std::nullopt;
  return std::string(key);
}

bool sameSecret(std::string_view given, std::string_view expected) {
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < given.size(); ++i)
    difference |= static_cast<unsigned char>(given[i] ^ (expected.empty() ? 0 : expected[i % expected.size()]));
  return difference == 0 && !expected.empty();
}

orvane::Result<std::string> newToken() {
  unsigned char bytes[16];
  std::size_t have = 0;
  while (have < sizeof bytes) {
    ssize_t got = ::getrandom(bytes + have, sizeof bytes - have, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return orvane::Error("no random token could be had from the kernel", got < 0 ? errno : 0);
    have += static_cast<std::size_t>(got);
  }
  static const char digits[] = "0123456789abcdef";
  std::string token;
  for (unsigned char byte : bytes) {
    token += digits[byte >> 4];
    token += digits[byte & 15];
  }
  return token;
}

HeadReader::State HeadReader::scan(std::string_view received) {
  if (end_ > 0) return State::Whole;
  std::size_t limit = std::min(received.size(), kLargestHead);
  for (; scanned_ < limit; ++scanned_) {
    if (received[scanned_] != '\n') continue;
    std::string_view line = received.substr(lineStart_, scanned_ + 1 - lineStart_);
    lineStart_ = scanned_ + 1;
    if (++lines_ > kMostHeadLines) return State::TooLarge;
    if (lines_ > 1 && line == "\r\n") {
      end_ = ++scanned_;
      return State::Whole;
    }
  }
  return received.size() > kLargestHead ? State::TooLarge : State::Reading;
}

Verdict admit(const RequestFacts& request, const Policy& policy) {
  if (!request.host) return refuse(400, "the request names no Host");
  if (!isOwnAuthority(*request.host, policy.port))
    return refuse(421, "Host \"" + *request.host + "\" is not this server: open the URL it printed");
  if (request.origin && !(request.origin->starts_with("http://") &&
                          isOwnAuthority(std::string_view(*request.origin).substr(7), policy.port)))
    return refuse(403, "requests from other sites are refused (Origin \"" + *request.origin + "\")");
  if (request.fetchSite && *request.fetchSite != "same-origin" && *request.fetchSite != "none")
    return refuse(403, "requests from other sites are refused (Sec-Fetch-Site \"" + *request.fetchSite + "\")");
  if (!request.token) return refuse(401, "the token is missing: open the URL the server printed");
  if (!sameSecret(*request.token, policy.token)) return refuse(401, "the token is wrong: open the URL the server printed");
  if (request.path.find('\0') != std::string::npos || request.path.find('\\') != std::string::npos ||
      request.path.find("/..") != std::string::npos || request.path.find("../") != std::string::npos ||
      request.path.empty() || request.path[0] != '/')
    return refuse(400, "the path leaves the files this server shows");
  if (request.contentLength) {
    if (!isDecimal(*request.contentLength)) return refuse(400, "the Content-Length is not a number");
    if (std::stoull(*request.contentLength) > kLargestBody)
      return refuse(413, "the body is larger than " + std::to_string(kLargestBody) + " bytes");
  }
  Route route = routeOf(request.path);
  if (route == Route::NotFound) return refuse(404, "nothing is served at " + request.path);
  if (!allows(route, request.method)) return refuse(405, "the method " + request.method + " is not allowed here");
  if (request.method == "POST") {
    if (!request.contentLength) return refuse(411, "a change needs a Content-Length");
    std::string type = request.contentType ? lower(*request.contentType) : "";
    if (type != "application/json" && !type.starts_with("application/json;"))
      return refuse(415, "a change is sent as application/json");
  }
  return {};
}

orvane::Result<Action> parseAction(Route route, std::string_view body) {
  if (body.size() > kLargestBody) return orvane::Error("the body is too large");
  auto value = nlohmann::json::parse(body, nullptr, false);
  if (value.is_discarded() || !value.is_object()) return orvane::Error("the body is not a JSON object");
  auto text = [&](const char* name) -> std::string {
    auto found = value.find(name);
    return found != value.end() && found->is_string() ? found->get<std::string>() : std::string();
  };
  auto number = [&](const char* name) -> std::optional<long long> {
    auto found = value.find(name);
    if (found == value.end() || !found->is_number_integer()) return std::nullopt;
    return found->get<long long>();
  };
  Action action;
  switch (route) {
    case Route::Press:
      action.kind = text("button");
      if (action.kind != "up" && action.kind != "down") return orvane::Error("\"button\" is \"up\" or \"down\"");
      return action;
    case Route::Ringer:
      action.kind = text("mode");
      if (action.kind != "silent" && action.kind != "ring") return orvane::Error("\"mode\" is \"silent\" or \"ring\"");
      return action;
    case Route::Tap: {
      action.kind = text("target");
      auto screen = number("screen");
      if (!screen || *screen < 0) return orvane::Error("\"screen\" names the screen clicked on");
      action.screen = *screen;
      if (action.kind == "row") {
        auto section = number("section"), row = number("row");
        if (!section || !row || *section < 0 || *row < 0 || *section > 100000 || *row > 100000)
          return orvane::Error("a row is named by \"section\" and \"row\"");
        action.section = static_cast<long>(*section);
        action.row = static_cast<long>(*row);
        return action;
      }
      if (action.kind == "back" || action.kind == "share") return action;
      action.answer = text("answer");
      if (action.kind == "mail" && (action.answer == "send" || action.answer == "save" || action.answer == "cancel"))
        return action;
      if (action.kind == "sheet" && (action.answer == "post" || action.answer == "cancel")) return action;
      return orvane::Error("\"target\" is row, back, share, mail (send, save, cancel) or sheet (post, cancel)");
    }
    case Route::ClearLog: action.kind = "clear"; return action;
    default: return orvane::Error("this route takes no body");
  }
}

}  // namespace serve
