#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/coregraphics/CGGeometry.h"
#include "platform/result/Result.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _PangoContext PangoContext;
typedef struct _PangoFontDescription PangoFontDescription;

// The pieces pictures are drawn with: colours, text, the system's small
// glyphs (chevrons, check mark, compose icon), images and their shadows.
namespace render::drawing {

struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
};
void setColor(cairo_t* cairo, const Color& color);

struct FreeFontDescription {
  void operator()(PangoFontDescription* description) const;
};
using FontDescription = std::unique_ptr<PangoFontDescription, FreeFontDescription>;
/// The face a UIFont of this name and size sets text in.
FontDescription fontDescription(const char* name, double size);

enum class Align { Left, Center, Right };
enum class Wrap { OneLine, Lines };

/// Sets text with Pango at 72 dots per inch, so that a point is a unit of the picture.
class Text {
 public:
  explicit Text(cairo_t* cairo);
  ~Text();
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  /// Draws `text` in `box`: one line cut short with an ellipsis, centred
  /// vertically; or as many lines as it needs, from the top of the box.
  void draw(std::string_view text, const PangoFontDescription* font, const Color& color, CGRect box, Align align,
            Wrap wrap = Wrap::OneLine);
  /// The width of one line of `text`, in points.
  double width(std::string_view text, const PangoFontDescription* font);

 private:
  cairo_t* cairo_;
  PangoContext* context_;
};

/// The text in capitals, as grouped tables head their sections.
std::string upper(std::string_view text);

void roundedRectangle(cairo_t* cairo, double x, double y, double width, double height, double radius);
/// A chevron pointing left (`back`) or right, `width` by `height`, its tip's
/// vertical centre at `middle`; `x` is its left edge.
void chevron(cairo_t* cairo, double x, double middle, double width, double height, double line, bool back);
void checkMark(cairo_t* cairo, double x, double y, double width, double height);
/// A document with its corner folded down, outlined in `color`: the system's icon of a file.
void fileIcon(cairo_t* cairo, double x, double y, double width, double height, const Color& color);
/// The compose icon: a square with a pencil over its corner, `size` points.
void composeIcon(cairo_t* cairo, double x, double y, double size);

/// A decoded PNG of the device, kept for later pictures while its bytes stay the same.
struct Bitmap {
  cairo_surface_t* surface = nullptr;
  int width = 0, height = 0;
};
/// The image at a device path, or null if it is missing, damaged or too large.
const Bitmap* loadImage(const std::string& devicePath);
/// The image scaled into `frame`.
void image(cairo_t* cairo, const Bitmap& bitmap, CGRect frame);
/// The image's shape filled with `color`, as a template image in a tint.
void templateImage(cairo_t* cairo, const Bitmap& bitmap, CGRect frame, const Color& color);
/// The image's shape in `color`, blurred by `radius` points, into `frame`.
void shadow(cairo_t* cairo, const Bitmap& bitmap, CGRect frame, double radius, const Color& color, double scale);

/// The surface as PNG bytes, compressed for speed.
orvane::Result<std::string> encodePng(cairo_surface_t* surface);

}  // namespace render::drawing
