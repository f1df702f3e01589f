#include "platform/uikit/UIFont.h"

#include <fmt/format.h>
#include <pango/pangoft2.h>

#include <cmath>
#include <mutex>

#include "platform/objc/Methods.h"

namespace {

// One font map for the process, at 72 dots per inch so that a point is a pixel.
std::mutex& pangoMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

PangoContext* context() {
  static PangoContext* shared = [] {
    PangoFontMap* map = pango_ft2_font_map_new();
    pango_ft2_font_map_set_resolution(PANGO_FT2_FONT_MAP(map), 72, 72);
    return pango_font_map_create_context(map);
  }();
  return shared;
}

/// The platform's font name as a Pango description: "HelveticaNeue-Light" is
/// the family "Helvetica Neue" in light weight, "Helvetica Light" likewise.
PangoFontDescription* describe(const std::string& name, double size) {
  std::string family = name, style;
  if (auto dash = name.find('-'); dash != std::string::npos) family = name.substr(0, dash), style = name.substr(dash + 1);
  else if (auto space = name.rfind(' '); space != std::string::npos) family = name.substr(0, space), style = name.substr(space + 1);
  std::string spaced;
  for (std::size_t i = 0; i < family.size(); ++i) {
    if (i > 0 && std::isupper(static_cast<unsigned char>(family[i])) && std::islower(static_cast<unsigned char>(family[i - 1])))
      spaced += ' ';
    spaced += family[i];
  }
  PangoFontDescription* description = pango_font_description_new();
  // Where the machine lacks the platform's own faces: Liberation Sans has
  // Helvetica's widths, DejaVu Sans the symbols it lacks, and Droid Sans
  // Fallback the Chinese, Japanese and Korean letters.
  pango_font_description_set_family(
      description,
      (spaced + ",Helvetica,Arial,Liberation Sans,DejaVu Sans,Droid Sans Fallback,sans-serif").c_str());
  if (style == "Light" || style == "light") pango_font_description_set_weight(description, PANGO_WEIGHT_LIGHT);
  else if (style == "Bold" || style == "bold") pango_font_description_set_weight(description, PANGO_WEIGHT_BOLD);
  pango_font_description_set_absolute_size(description, size * PANGO_SCALE);
  return description;
}

}  // namespace

Class UIFont::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIFont>("UIFont", NSObject::class_());
    objc::addClassFunction(registered, "fontWithName:size:", +[](Class, SEL, NSString* name, CGFloat size) {
      return UIFont::fontWithName_size(name, size).autorelease();
    });
    objc::addClassFunction(registered, "systemFontOfSize:",
                           +[](Class, SEL, CGFloat size) { return UIFont::systemFontOfSize(size).autorelease(); });
    objc::addFunction(registered, "fontName", +[](UIFont* self, SEL) { return self->nameObject_.get(); });
    objc::addMethod<&UIFont::pointSize>(registered, "pointSize");
    return registered;
  }();
  return cls;
}

Retained<UIFont> UIFont::fontWithName_size(NSString* name, CGFloat size) {
  if (!name) return nullptr;
  auto font = objc::alloc<UIFont>();
  font->name_ = name->utf8();
  font->nameObject_ = objc::retain(name);
  font->size_ = size;
  return font;
}

Retained<UIFont> UIFont::systemFontOfSize(CGFloat size) { return fontWithName_size(NSSTR("HelveticaNeue"), size); }

std::string UIFont::faceName() const {
  std::lock_guard lock(pangoMutex());
  PangoFontDescription* wanted = describe(name_, size_);
  PangoFont* font = pango_context_load_font(context(), wanted);
  pango_font_description_free(wanted);
  if (!font) return "(none)";
  PangoFontDescription* used = pango_font_describe(font);
  std::string face = pango_font_description_get_family(used) ? pango_font_description_get_family(used) : "?";
  int weight = pango_font_description_get_weight(used);
  if (weight < PANGO_WEIGHT_NORMAL) face += " Light";
  else if (weight > PANGO_WEIGHT_MEDIUM) face += " Bold";
  pango_font_description_free(used);
  g_object_unref(font);
  return face;
}

PangoFontDescription* UIFont::newPangoDescription() const { return describe(name_, size_); }

CGSize UIFont::sizeOfLine(const std::string& text) const {
  std::lock_guard lock(pangoMutex());
  PangoLayout* layout = pango_layout_new(context());
  PangoFontDescription* description = describe(name_, size_);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
  PangoRectangle logical {};
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return {std::ceil(static_cast<double>(logical.width) / PANGO_SCALE), std::ceil(static_cast<double>(logical.height) / PANGO_SCALE)};
}

CGFloat UIFont::heightOfText(const std::string& text, CGFloat width) const {
  std::lock_guard lock(pangoMutex());
  PangoLayout* layout = pango_layout_new(context());
  PangoFontDescription* description = describe(name_, size_);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  pango_layout_set_width(layout, static_cast<int>(std::max<CGFloat>(width, 1) * PANGO_SCALE));
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
  PangoRectangle logical {};
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return std::ceil(static_cast<double>(logical.height) / PANGO_SCALE);
}

std::string UIFont::description() const { return fmt::format("{} {}pt", name_, size_); }

namespace {
[[maybe_unused]] const Class registered = UIFont::class_();
}
