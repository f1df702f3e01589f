// Draws the settings bundle's artwork: the Settings entry's icon, the title
// logo, the footer logo and the makers' portraits, each at 1x under the plain
// name (what an exact lookup by name finds) and at 2x and 3x ("name@2x.png").
//   generate-artwork OUTPUT_DIR

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

using Drawing = std::function<void(cairo_t*, double width, double height)>;

constexpr double themeRed = 65 / 255.0, themeGreen = 169 / 255.0, themeBlue = 214 / 255.0;

bool render(const std::string& directory, const std::string& name, double width, double height, const Drawing& draw) {
  for (int scale : {1, 2, 3}) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width * scale),
                                                          static_cast<int>(height * scale));
    cairo_t* context = cairo_create(surface);
    cairo_scale(context, scale, scale);
    draw(context, width, height);
    cairo_destroy(context);
    std::string file = directory + "/" + name + (scale == 1 ? std::string() : "@" + std::to_string(scale) + "x") + ".png";
    bool ok = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok) {
      std::fprintf(stderr, "generate-artwork: cannot write %s\n", file.c_str());
      return false;
    }
  }
  return true;
}

/// A speaker with two sound waves, centred at (x, y), `size` high.
void speaker(cairo_t* context, double x, double y, double size) {
  double unit = size / 10;
  cairo_move_to(context, x - 4 * unit, y - 1.5 * unit);
  cairo_line_to(context, x - 2 * unit, y - 1.5 * unit);
  cairo_line_to(context, x + 0.5 * unit, y - 4 * unit);
  cairo_line_to(context, x + 0.5 * unit, y + 4 * unit);
  cairo_line_to(context, x - 2 * unit, y + 1.5 * unit);
  cairo_line_to(context, x - 4 * unit, y + 1.5 * unit);
  cairo_close_path(context);
  cairo_fill(context);
  cairo_set_line_width(context, unit * 0.9);
  cairo_set_line_cap(context, CAIRO_LINE_CAP_ROUND);
  for (double radius : {2.5 * unit, 4.5 * unit}) {
    cairo_new_sub_path(context);
    cairo_arc(context, x + 0.5 * unit, y, radius, -M_PI / 4, M_PI / 4);
    cairo_stroke(context);
  }
}

void text(cairo_t* context, const std::string& words, const char* font, double x, double y, bool centred) {
  PangoLayout* layout = pango_cairo_create_layout(context);
  PangoFontDescription* description = pango_font_description_from_string(font);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  pango_layout_set_text(layout, words.c_str(), -1);
  int width = 0, height = 0;
  pango_layout_get_size(layout, &width, &height);
  double left = centred ? x - width / PANGO_SCALE / 2.0 : x;
  cairo_move_to(context, left, y - height / PANGO_SCALE / 2.0);
  pango_cairo_show_layout(context, layout);
  g_object_unref(layout);
}

void portrait(cairo_t* context, double size, const std::string& initials, double hue) {
  cairo_arc(context, size / 2, size / 2, size / 2, 0, 2 * M_PI);
  cairo_set_source_rgb(context, themeRed * hue, themeGreen * hue, themeBlue);
  cairo_fill(context);
  cairo_set_source_rgb(context, 1, 1, 1);
  text(context, initials, "DejaVu Sans Light 26", size / 2, size / 2, true);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: generate-artwork OUTPUT_DIR\n");
    return 2;
  }
  std::string directory = argv[1];
  // The 29-point icon of Settings' rows.
  bool ok = render(directory, "icon", 29, 29, [](cairo_t* context, double width, double height) {
    double radius = 6.5;
    cairo_new_sub_path(context);
    cairo_arc(context, width - radius, radius, radius, -M_PI / 2, 0);
    cairo_arc(context, width - radius, height - radius, radius, 0, M_PI / 2);
    cairo_arc(context, radius, height - radius, radius, M_PI / 2, M_PI);
    cairo_arc(context, radius, radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(context);
    cairo_set_source_rgb(context, themeRed, themeGreen, themeBlue);
    cairo_fill(context);
    cairo_set_source_rgb(context, 1, 1, 1);
    speaker(context, width / 2 - 1, height / 2, 20);
  });
  // Drawn in one colour: the page shows the title logo as a template in the bar's tint.
  ok = ok && render(directory, "headerLogo", 110, 30, [](cairo_t* context, double, double height) {
    cairo_set_source_rgb(context, 1, 1, 1);
    speaker(context, 13, height / 2, 24);
    // In pixels of the 1x canvas, so that the word ends inside the 110 points a title view is given.
    text(context, "Orvane", "DejaVu Sans Light 19px", 32, height / 2, false);
  });
  // The logo cell's image view is 80 by 80 points at the top of a 30-point
  // header: the mark keeps to the top 30 points, the rest stays clear, so it
  // neither leaves its header nor covers the group's footer below it.
  ok = ok && render(directory, "footerLogo", 80, 80, [](cairo_t* context, double width, double) {
    double radius = 13, middle = 15;
    cairo_arc(context, width / 2, middle, radius, 0, 2 * M_PI);
    cairo_set_source_rgb(context, themeRed, themeGreen, themeBlue);
    cairo_fill(context);
    cairo_set_source_rgb(context, 1, 1, 1);
    speaker(context, width / 2 - 1.5, middle, 2 * radius * 0.55);
  });
  ok = ok && render(directory, "merrow", 70, 70, [](cairo_t* context, double width, double) { portrait(context, width, "ML", 1.0); });
  ok = ok && render(directory, "quillmark", 70, 70, [](cairo_t* context, double width, double) { portrait(context, width, "QM", 0.6); });
  return ok ? 0 : 1;
}
