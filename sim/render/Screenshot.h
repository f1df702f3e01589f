#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/coregraphics/CGGeometry.h"
#include "platform/result/Result.h"

namespace settings {
class Navigation;
}
typedef struct _cairo_surface cairo_surface_t;

// Pictures of the Settings app as the device shows it, drawn with cairo and
// Pango from the views of the page on screen: status bar, navigation bar,
// the page, and the mail composer or the share sheet when one is shown.
namespace render {

struct Options {
  /// Pixels per point: 1, 2 or 3.
  int scale = 2;
  /// The whole page as if the screen were as tall as its content, not only what fits on the screen.
  bool fullPage = false;
};

/// The device's screen in points.
CGSize screenSize();

/// An ARGB picture (cairo's native-endian premultiplied pixels).
class Picture {
 public:
  Picture() = default;
  explicit Picture(cairo_surface_t* surface) : surface_(surface) {}
  Picture(Picture&& other) noexcept : surface_(other.surface_) { other.surface_ = nullptr; }
  Picture& operator=(Picture&& other) noexcept;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture();

  explicit operator bool() const { return surface_ != nullptr; }
  int width() const;
  int height() const;
  struct Pixel {
    int red = 0, green = 0, blue = 0, alpha = 0;
  };
  /// The pixel at (x, y), un-premultiplied; transparent black outside the picture.
  Pixel pixel(int x, int y) const;
  /// The picture as PNG bytes.
  orvane::Result<std::string> png() const;
  cairo_surface_t* surface() const { return surface_; }

 private:
  cairo_surface_t* surface_ = nullptr;
};

/// Draws what the Settings app shows now, its animations as they stand at
/// this moment of the run loop's clock. One picture at a time, from any thread.
Picture screenshot(const settings::Navigation& settings, const Options& options = {});
/// The same picture as PNG bytes.
orvane::Result<std::string> screenshotPng(const settings::Navigation& settings, const Options& options = {});

/// A place on the screen that answers a tap, in points.
struct Target {
  CGRect frame;
  /// "row" (`label` is the row's label on the page shown), "back", "share",
  /// "mail-send", "mail-save", "mail-cancel", "share-post" or "share-cancel".
  std::string kind;
  std::string label;
};
/// What a tap can hit now: a sheet's buttons while one is shown, else the
/// bar's buttons and the visible rows of the page (every row, with fullPage).
std::vector<Target> targets(const settings::Navigation& settings, const Options& options = {});
std::optional<Target> targetAt(const settings::Navigation& settings, CGFloat x, CGFloat y);

}  // namespace render
