#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result/Result.h"

// What the web view of a device lets in: every request is checked here before
// it reaches a route, so that only a page of this server, opened with the
// printed URL, on this machine, can see or change the device.
namespace serve {

/// Request bodies are small JSON actions.
inline constexpr std::size_t kLargestBody = 16 * 1024;
/// A request's head (request line, header lines and the blank line) is at most
/// this long, cookies of other servers on this machine included.
inline constexpr std::size_t kLargestHead = 32 * 1024;
inline constexpr std::size_t kMostHeadLines = 100;

/// Follows a request's head as its bytes come, as the HTTP library will read
/// it: lines end at LF, and the head at the first line after the request line
/// that is CR LF alone.
class HeadReader {
 public:
  enum class State { Reading, Whole, TooLarge };
  /// Looks at what `received` (every byte of the connection so far, this head
  /// first) holds beyond what was looked at before. TooLarge once the head
  /// passes kLargestHead bytes or kMostHeadLines lines, whether or not it ends.
  State scan(std::string_view received);
  /// Once Whole: how many of the bytes are the head.
  std::size_t length() const { return end_; }

 private:
  std::size_t scanned_ = 0, lineStart_ = 0, lines_ = 0, end_ = 0;
};

/// The facts of a request the rules look at, as received.
struct RequestFacts {
  std::string method;
  /// The path, percent-decoded, without the query.
  std::string path;
  std::optional<std::string> host;
  std::optional<std::string> origin;
  std::optional<std::string> fetchSite;  // Sec-Fetch-Site
  std::optional<std::string> token;      // ?token= or X-Orvane-Token
  std::optional<std::string> contentLength;
  std::optional<std::string> contentType;
};

struct Verdict {
  /// 0 lets the request through; otherwise the 4xx status to answer with.
  int status = 0;
  std::string reason;
  explicit operator bool() const { return status == 0; }
};

/// The routes of the server.
enum class Route { Page, Script, Style, Events, Screen, ScreenImage, Sound, Press, Ringer, Tap, ClearLog, NotFound };

struct Policy {
  int port = 0;
  std::string token;
};

/// The route a path names, for a method; Route::NotFound for none.
Route routeOf(std::string_view path);
/// Whether the route takes the method (GET and HEAD read, POST changes).
bool allows(Route route, std::string_view method);

/// Checks, in order: the Host (this server by its loopback name and port, so a
/// rebound DNS name is refused), the Origin and Sec-Fetch-Site (this server's
/// own pages only), the token (compared in constant time), the method, and for
/// a change a JSON body of at most kLargestBody bytes.
Verdict admit(const RequestFacts& request, const Policy& policy);

/// The key of a sound URL ("/sounds/<hex>.wav"); none for anything else.
std::optional<std::string> soundKey(std::string_view path);

/// Whether two secrets are equal, in time that does not depend on where they differ.
bool sameSecret(std::string_view given, std::string_view expected);

/// A fresh random token (hex, 128 bits) from the kernel's generator.
orvane::Result<std::string> newToken();

/// What a click asks for, parsed from a POST body.
struct Action {
  /// Press: "up"/"down"; Ringer: "silent"/"ring"; Tap: "row", "back", "share", "mail", "sheet"; ClearLog: "clear".
  std::string kind;
  long section = -1, row = -1;
  /// The answer to a shown sheet: mail "send"/"save"/"cancel", share "post"/"cancel".
  std::string answer;
  /// The layout of the screen the click was made on (its "layout"); a click on another one is refused.
  long long screen = -1;
};

/// Parses the body of a POST to a route; an error (for a 400) when it is not a valid action.
orvane::Result<Action> parseAction(Route route, std::string_view body);

}  // namespace serve
