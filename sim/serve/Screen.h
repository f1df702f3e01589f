#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>

#include "platform/result/Result.h"
#include "sim/render/Screenshot.h"
#include "sim/serve/Requests.h"

namespace settings {
class Navigation;
}

// The device's screen as the web view shows it: the Settings app, opened at
// the entry, alive for as long as the server runs, driven by clicks as taps
// drive it. Used on the thread that made it only, as the app's main thread.
namespace serve {

struct Outcome {
  /// An HTTP status: 200 done, 409 the click no longer fits the screen, 422 it could not be done.
  int status = 200;
  std::string message;
};

class Screen {
 public:
  explicit Screen(const std::string& entryName);
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  /// Whether the Settings app opened the entry, or why not.
  const orvane::Result<void>& loaded() const { return loaded_; }

  /// Counts the screens shown: each change of the page, or of what it shows, makes a new one.
  long long version() const { return version_; }
  /// Counts the layouts shown: what a click at a place means. A click made on
  /// another layout is refused; one made while the page only animated is not.
  long long layout() const { return layout_; }
  /// The screen as the device draws it (PNG), if it could be drawn: the whole
  /// page, as tall as its content, for the page to scroll; the screen alone under a sheet.
  std::shared_ptr<const std::string> picture() const { return picture_; }
  /// Looks at the app afresh: a new version if it shows something else.
  void refresh();
  /// Draws the page again as it animates, without asking it for its rows: each
  /// time it is asked, it builds its rows and headers anew, and the root page's
  /// header picks another line at random, so asking every frame would never let it rest.
  void redraw();
  /// What the screen shows now: the page, its rows and values, a sheet over it.
  const nlohmann::json& current() const { return shown_; }

  /// Does what a tap does; the screen is refreshed after anything changed.
  Outcome act(const Action& action);

 private:
  struct Drawn {
    std::shared_ptr<const std::string> png;
    /// In points.
    int width = 0, height = 0;
  };
  void look(bool afresh);
  render::Options options() const;
  std::optional<Drawn> draw() const;
  nlohmann::json imageOf(const Drawn& drawn) const;
  Outcome tapRow(long section, long row);
  Outcome back();

  std::unique_ptr<settings::Navigation> navigation_;
  orvane::Result<void> loaded_;
  long long version_ = 0, layout_ = 0;
  std::shared_ptr<const std::string> picture_;
  nlohmann::json shown_, shownWithoutVersion_;
};

}  // namespace serve
