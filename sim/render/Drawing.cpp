#include "sim/render/Drawing.h"

#include <cairo.h>
#include <pango/pangocairo.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "platform/device/FileUtilities.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIImage.h"

namespace render::drawing {

void setColor(cairo_t* cairo, const Color& color) {
  cairo_set_source_rgba(cairo, color.red, color.green, color.blue, color.alpha);
}

void FreeFontDescription::operator()(PangoFontDescription* description) const {
  if (description) pango_font_description_free(description);
}

FontDescription fontDescription(const char* name, double size) {
  return FontDescription(UIFont::fontWithName_size(NSString::stringWithUTF8String(name).get(), size)->newPangoDescription());
}

Text::Text(cairo_t* cairo) : cairo_(cairo), context_(pango_cairo_create_context(cairo)) {
  pango_cairo_context_set_resolution(context_, 72);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context_, options);
  cairo_font_options_destroy(options);
}

Text::~Text() { g_object_unref(context_); }

void Text::draw(std::string_view text, const PangoFontDescription* font, const Color& color, CGRect box, Align align,
                Wrap wrap) {
  if (text.empty() || box.size.width <= 0) return;
  PangoLayout* layout = pango_layout_new(context_);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  PangoRectangle logical{};
  double x = box.origin.x, y = box.origin.y;
  if (wrap == Wrap::Lines) {
    pango_layout_set_width(layout, static_cast<int>(box.size.width * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(layout, align == Align::Center  ? PANGO_ALIGN_CENTER
                                       : align == Align::Right ? PANGO_ALIGN_RIGHT
                                                               : PANGO_ALIGN_LEFT);
  } else {
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    pango_layout_get_extents(layout, nullptr, &logical);
    // Labels are as wide as the platform measured their text; a little slack
    // keeps the last letter where this font map measures a hair wider.
    if (static_cast<double>(logical.width) / PANGO_SCALE > box.size.width + 2) {
      pango_layout_set_width(layout, static_cast<int>(box.size.width * PANGO_SCALE));
      pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    }
    pango_layout_get_extents(layout, nullptr, &logical);
    double width = static_cast<double>(logical.width) / PANGO_SCALE;
    if (align == Align::Center) x += (box.size.width - width) / 2;
    else if (align == Align::Right) x += box.size.width - width;
    y += (box.size.height - static_cast<double>(logical.height) / PANGO_SCALE) / 2;
  }
  setColor(cairo_, color);
  cairo_move_to(cairo_, x, y);
  pango_cairo_show_layout(cairo_, layout);
  g_object_unref(layout);
}

double Text::width(std::string_view text, const PangoFontDescription* font) {
  PangoLayout* layout = pango_layout_new(context_);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

std::string upper(std::string_view text) {
  gchar* capitals = g_utf8_strup(text.data(), static_cast<gssize>(text.size()));
  std::string result = capitals ? capitals : std::string(text);
  g_free(capitals);
  return result;
}

void roundedRectangle(cairo_t* cairo, double x, double y, double width, double height, double radius) {
  radius = std::min({radius, width / 2, height / 2});
  cairo_new_sub_path(cairo);
  cairo_arc(cairo, x + width - radius, y + radius, radius, -M_PI / 2, 0);
  cairo_arc(cairo, x + width - radius, y + height - radius, radius, 0, M_PI / 2);
  cairo_arc(cairo, x + radius, y + height - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cairo, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(cairo);
}

void chevron(cairo_t* cairo, double x, double middle, double width, double height, double line, bool back) {
  double inset = line / 2;
  cairo_set_line_width(cairo, line);
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
  double tip = back ? x + inset : x + width - inset, ends = back ? x + width - inset : x + inset;
  cairo_move_to(cairo, ends, middle - height / 2 + inset);
  cairo_line_to(cairo, tip, middle);
  cairo_line_to(cairo, ends, middle + height / 2 - inset);
  cairo_stroke(cairo);
}

void checkMark(cairo_t* cairo, double x, double y, double width, double height) {
  cairo_set_line_width(cairo, 2);
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
  cairo_move_to(cairo, x + 1, y + height * 0.55);
  cairo_line_to(cairo, x + width * 0.36, y + height - 1);
  cairo_line_to(cairo, x + width - 1, y + 1);
  cairo_stroke(cairo);
}

namespace {

/// Strokes lines through points given in units of `size` from (x, y).
void polyline(cairo_t* cairo, double x, double y, double size, std::initializer_list<std::pair<double, double>> points,
              bool closed) {
  bool first = true;
  for (auto [px, py] : points) {
    if (first) cairo_move_to(cairo, x + px * size, y + py * size);
    else cairo_line_to(cairo, x + px * size, y + py * size);
    first = false;
  }
  if (closed) cairo_close_path(cairo);
  cairo_stroke(cairo);
}

}  // namespace

void fileIcon(cairo_t* cairo, double x, double y, double width, double height, const Color& color) {
  double fold = width * 0.3;
  cairo_new_path(cairo);
  cairo_move_to(cairo, x + 0.5, y + 0.5);
  cairo_line_to(cairo, x + width - fold, y + 0.5);
  cairo_line_to(cairo, x + width - 0.5, y + fold);
  cairo_line_to(cairo, x + width - 0.5, y + height - 0.5);
  cairo_line_to(cairo, x + 0.5, y + height - 0.5);
  cairo_close_path(cairo);
  setColor(cairo, {1, 1, 1, 1});
  cairo_fill_preserve(cairo);
  setColor(cairo, color);
  cairo_set_line_width(cairo, 1);
  cairo_stroke(cairo);
  cairo_move_to(cairo, x + width - fold, y + 0.5);
  cairo_line_to(cairo, x + width - fold, y + fold);
  cairo_line_to(cairo, x + width - 0.5, y + fold);
  cairo_stroke(cairo);
}

void composeIcon(cairo_t* cairo, double x, double y, double size) {
  cairo_set_line_width(cairo, 1.5);
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
  // The sheet, open at its top right corner where the pencil enters; then the pencil.
  polyline(cairo, x, y, size, {{0.5, 0.2}, {0.05, 0.2}, {0.05, 0.95}, {0.8, 0.95}, {0.8, 0.5}}, false);
  polyline(cairo, x, y, size, {{0.38, 0.62}, {0.45, 0.45}, {0.88, 0.02}, {0.98, 0.12}, {0.55, 0.55}}, true);
}

namespace {

struct CachedImage {
  std::string bytes;
  Bitmap bitmap;
};

struct ByteReader {
  std::string_view bytes;
  std::size_t at = 0;
};

cairo_status_t readBytes(void* closure, unsigned char* data, unsigned int length) {
  auto* reader = static_cast<ByteReader*>(closure);
  if (length > reader->bytes.size() - reader->at) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, reader->bytes.data() + reader->at, length);
  reader->at += length;
  return CAIRO_STATUS_SUCCESS;
}

std::map<std::string, CachedImage>& imageCache() {
  static auto* cache = new std::map<std::string, CachedImage>;
  return *cache;
}

}  // namespace

const Bitmap* loadImage(const std::string& devicePath) {
  auto contents = files::readDeviceFile(devicePath, uikit::maxPngBytes);
  if (!contents) return nullptr;
  auto& cache = imageCache();
  if (auto found = cache.find(devicePath); found != cache.end()) {
    if (found->second.bytes == *contents) return &found->second.bitmap;
    cairo_surface_destroy(found->second.bitmap.surface);
    cache.erase(found);
  }
  // Checked whole by libpng with the platform's limits before cairo allocates for it.
  if (!uikit::pngPixelSize(*contents)) return nullptr;
  ByteReader reader{*contents};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(readBytes, &reader);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  if (cache.size() >= 64) {
    for (auto& [path, entry] : cache) cairo_surface_destroy(entry.bitmap.surface);
    cache.clear();
  }
  Bitmap bitmap{surface, cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface)};
  return &(cache[devicePath] = CachedImage{std::move(*contents), bitmap}).bitmap;
}

namespace {

/// Moves the coordinates so that the bitmap's pixels fill `frame`.
bool fitInto(cairo_t* cairo, const Bitmap& bitmap, CGRect frame) {
  if (bitmap.width <= 0 || bitmap.height <= 0 || frame.size.width <= 0 || frame.size.height <= 0) return false;
  cairo_translate(cairo, frame.origin.x, frame.origin.y);
  cairo_scale(cairo, frame.size.width / bitmap.width, frame.size.height / bitmap.height);
  return true;
}

/// Three box blurs in each direction, close to a Gaussian, in place on an A8 surface.
void blur(cairo_surface_t* mask, int radius) {
  cairo_surface_flush(mask);
  unsigned char* data = cairo_image_surface_get_data(mask);
  int width = cairo_image_surface_get_width(mask), height = cairo_image_surface_get_height(mask);
  int stride = cairo_image_surface_get_stride(mask);
  std::vector<int> line(static_cast<std::size_t>(std::max(width, height)));
  auto pass = [&](int count, int step, int lines, int lineStep) {
    for (int l = 0; l < lines; ++l) {
      unsigned char* start = data + l * lineStep;
      for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < count; ++i) line[static_cast<std::size_t>(i)] = start[i * step];
        int sum = 0, span = 2 * radius + 1;
        for (int i = -radius; i <= radius; ++i) sum += i >= 0 && i < count ? line[static_cast<std::size_t>(i)] : 0;
        for (int i = 0; i < count; ++i) {
          start[i * step] = static_cast<unsigned char>(sum / span);
          int leaving = i - radius, entering = i + radius + 1;
          if (leaving >= 0) sum -= line[static_cast<std::size_t>(leaving)];
          if (entering < count) sum += line[static_cast<std::size_t>(entering)];
        }
      }
    }
  };
  pass(width, 1, height, stride);
  pass(height, stride, width, 1);
  cairo_surface_mark_dirty(mask);
}

}  // namespace

void image(cairo_t* cairo, const Bitmap& bitmap, CGRect frame) {
  cairo_save(cairo);
  if (fitInto(cairo, bitmap, frame)) {
    cairo_set_source_surface(cairo, bitmap.surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cairo), CAIRO_FILTER_GOOD);
    cairo_paint(cairo);
  }
  cairo_restore(cairo);
}

void templateImage(cairo_t* cairo, const Bitmap& bitmap, CGRect frame, const Color& color) {
  cairo_save(cairo);
  if (fitInto(cairo, bitmap, frame)) {
    setColor(cairo, color);
    cairo_mask_surface(cairo, bitmap.surface, 0, 0);
  }
  cairo_restore(cairo);
}

void shadow(cairo_t* cairo, const Bitmap& bitmap, CGRect frame, double radius, const Color& color, double scale) {
  int blurRadius = std::max(1, static_cast<int>(std::lround(radius * scale / 2)));
  int pad = 3 * blurRadius + 1;
  int width = static_cast<int>(std::ceil(frame.size.width * scale)) + 2 * pad;
  int height = static_cast<int>(std::ceil(frame.size.height * scale)) + 2 * pad;
  if (width <= 2 * pad || height <= 2 * pad) return;
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  cairo_t* shape = cairo_create(mask);
  cairo_translate(shape, pad, pad);
  cairo_scale(shape, scale, scale);
  image(shape, bitmap, CGRectMake(0, 0, frame.size.width, frame.size.height));
  cairo_destroy(shape);
  blur(mask, blurRadius);
  cairo_save(cairo);
  cairo_translate(cairo, frame.origin.x, frame.origin.y);
  cairo_scale(cairo, 1 / scale, 1 / scale);
  setColor(cairo, color);
  cairo_mask_surface(cairo, mask, -pad, -pad);
  cairo_restore(cairo);
  cairo_surface_destroy(mask);
}

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void flushNothing(png_structp) {}
/// Keeps libpng's reason in the buffer given as the error pointer, then leaves.
[[noreturn]] void pngFailed(png_structp png, png_const_charp message) {
  if (auto* reason = static_cast<char*>(png_get_error_ptr(png))) std::snprintf(reason, 256, "%s", message ? message : "");
  png_longjmp(png, 1);
}
void pngWarned(png_structp, png_const_charp) {}

/// Kept free of C++ objects of its own because libpng leaves it by longjmp.
bool writeRows(png_structp png, png_infop info, std::string* out, const unsigned char* pixels, int width, int height,
               int stride, unsigned char* row) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_write_fn(png, out, appendBytes, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const unsigned char* source = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      std::uint32_t value;
      std::memcpy(&value, source + 4 * x, 4);
      unsigned alpha = value >> 24;
      unsigned char* target = row + 4 * x;
      for (int channel = 0; channel < 3; ++channel) {
        unsigned premultiplied = (value >> (16 - 8 * channel)) & 0xff;
        target[channel] = static_cast<unsigned char>(
            alpha == 0 ? 0 : alpha == 255 ? premultiplied : std::min(255u, (premultiplied * 255 + alpha / 2) / alpha));
      }
      target[3] = static_cast<unsigned char>(alpha);
    }
    png_write_row(png, row);
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

orvane::Result<std::string> encodePng(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
  if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32 || width <= 0 || height <= 0)
    return orvane::Error("the picture cannot be encoded as PNG: it holds no ARGB pixels");
  std::string out;
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 4);
  char reason[256] = "libpng gave no reason";
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, reason, pngFailed, pngWarned);
  if (!png) return orvane::Error("the picture cannot be encoded as PNG: libpng cannot start");
  png_infop info = png_create_info_struct(png);
  bool written = info && writeRows(png, info, &out, cairo_image_surface_get_data(surface), width, height,
                                   cairo_image_surface_get_stride(surface), row.data());
  png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!written) return orvane::Error(std::string("the picture cannot be encoded as PNG: ") + reason);
  return out;
}

}  // namespace render::drawing
