#include "sim/render/Screenshot.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fmt/format.h>
#include <map>
#include <mutex>

#include "platform/device/FileUtilities.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/uikit/UIKit.h"
#include "sim/render/Drawing.h"
#include "sim/settings/Navigation.h"
#include "sim/settings/SystemTexts.h"

namespace render {

using drawing::Color;

namespace {

// The system's own colours of iOS 7 and later.
constexpr Color tableBackground{239 / 255.0, 239 / 255.0, 244 / 255.0};
constexpr Color defaultBar{247 / 255.0, 247 / 255.0, 247 / 255.0};
constexpr Color barHairline{0, 0, 0, 0.3};
constexpr Color systemBlue{0, 122 / 255.0, 1};
constexpr Color separator{200 / 255.0, 199 / 255.0, 204 / 255.0};
constexpr Color groupText{109 / 255.0, 109 / 255.0, 114 / 255.0};
constexpr Color chevronGray{199 / 255.0, 199 / 255.0, 204 / 255.0};
constexpr Color detailGray{142 / 255.0, 142 / 255.0, 147 / 255.0};
constexpr Color switchGreen{76 / 255.0, 217 / 255.0, 100 / 255.0};
constexpr Color switchBorder{229 / 255.0, 229 / 255.0, 234 / 255.0};
constexpr Color white{1, 1, 1};
constexpr Color black{0, 0, 0};

constexpr CGFloat statusBarHeight = 20;

std::mutex& drawingMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

Color colorOf(const UIColor* color, Color fallback) {
  if (!color) return fallback;
  return {color->red(), color->green(), color->blue(), color->alpha()};
}

CGRect offsetRect(CGRect rect, CGFloat dx, CGFloat dy) {
  rect.origin.x += dx;
  rect.origin.y += dy;
  return rect;
}

/// One picture being drawn: the cairo context, the text context, the scale.
class Painter {
 public:
  Painter(cairo_t* cairo, double scale) : cairo_(cairo), text_(cairo), scale_(scale) {}

  void screen(const settings::Navigation& settings, CGSize size);

 private:
  void statusBar(UIStatusBarStyle style, CGFloat width);
  void navigationBar(const settings::Navigation& settings, UIViewController* page, CGFloat width);
  void table(UITableView* table, const Color& tint);
  void view(UIView* view, const Color& tint);
  void viewContent(UIView* view, const Color& tint);
  void label(UILabel* label);
  void imageView(UIImageView* view, const Color& tint);
  void switchControl(UISwitch* control);
  void accessory(UITableViewCell* cell, const Color& tint);
  void hairline(CGFloat x0, CGFloat x1, CGFloat y, const Color& color);
  void mailSheet(MFMailComposeViewController* mail, CGSize screen);
  void shareSheet(SLComposeViewController* sheet, CGSize screen);
  void dim(CGSize screen);

  cairo_t* cairo_;
  drawing::Text text_;
  double scale_;
};

void Painter::hairline(CGFloat x0, CGFloat x1, CGFloat y, const Color& color) {
  double pixel = 1 / scale_;
  drawing::setColor(cairo_, color);
  cairo_rectangle(cairo_, x0, y - pixel / 2, x1 - x0, pixel);
  cairo_fill(cairo_);
}

void Painter::statusBar(UIStatusBarStyle style, CGFloat width) {
  Color ink = style == UIStatusBarStyleLightContent ? white : black;
  drawing::setColor(cairo_, ink);
  for (int dot = 0; dot < 5; ++dot) {
    cairo_arc(cairo_, 7 + dot * 6.5, 10, 2.75, 0, 2 * M_PI);
    cairo_fill(cairo_);
  }
  auto small = drawing::fontDescription("HelveticaNeue", 12);
  auto medium = drawing::fontDescription("HelveticaNeue-Bold", 12);
  text_.draw(settings::systemText(settings::SystemText::Carrier), small.get(), ink,
             CGRectMake(41, 0, width / 2 - 41 - 30, statusBarHeight), drawing::Align::Left);
  text_.draw("9:41 AM", medium.get(), ink, CGRectMake(0, 0, width, statusBarHeight), drawing::Align::Center);
  text_.draw("100%", small.get(), ink, CGRectMake(width - 100, 0, 66, statusBarHeight), drawing::Align::Right);
  // The battery: an outline, its tip and a full charge.
  cairo_set_line_width(cairo_, 1);
  drawing::roundedRectangle(cairo_, width - 30.5, 6.5, 22, 9, 2);
  cairo_stroke(cairo_);
  cairo_rectangle(cairo_, width - 8, 8.5, 1.5, 5);
  cairo_fill(cairo_);
  cairo_rectangle(cairo_, width - 29, 8, 19, 6);
  cairo_fill(cairo_);
}

void Painter::navigationBar(const settings::Navigation& settings, UIViewController* page, CGFloat width) {
  UINavigationBar* bar = settings.navigationBar();
  CGRect frame = bar ? bar->frame() : CGRectMake(0, statusBarHeight, width, 44);
  CGFloat bottom = frame.origin.y + frame.size.height;
  // The bar's backdrop runs up under the status bar.
  drawing::setColor(cairo_, colorOf(bar ? bar->barTintColor() : nullptr, defaultBar));
  cairo_rectangle(cairo_, 0, 0, width, bottom);
  cairo_fill(cairo_);
  hairline(0, width, bottom, barHairline);

  Color tint = colorOf(bar ? bar->tintColor() : nullptr, systemBlue);
  Color titleInk = black;
  if (NSDictionary* attributes = bar ? bar->titleTextAttributes() : nullptr)
    titleInk = colorOf(objc_cast<UIColor>(attributes->objectForKey(NSForegroundColorAttributeName)), black);
  CGFloat middle = frame.origin.y + frame.size.height / 2;

  UINavigationItem* item = page ? page->navigationItem() : nullptr;
  auto bold = drawing::fontDescription("HelveticaNeue-Bold", 17);
  auto regular = drawing::fontDescription("HelveticaNeue", 17);
  NSString* titleText = !item || item->titleView() ? nullptr : item->title() ? item->title() : page->title();
  std::string title = titleText ? titleText->utf8() : "";
  double titleWidth = item && item->titleView() ? item->titleView()->frame().size.width : text_.width(title, bold.get());
  bool rightButton = item && objc_cast<UIBarButtonItem>(item->rightBarButtonItem());
  double right = width - 8 - (rightButton ? 42 : 0);

  // The back button names the page below; where that has no title, or the
  // page's title would not fit beside it, it says "Back", or nothing but the
  // chevron. The title then takes the space left, centred where it can be.
  auto shown = settings.pages();
  std::string back;
  double left = 8;
  if (shown.size() >= 2) {
    UIViewController* below = shown[shown.size() - 2];
    NSString* belowTitle = below->navigationItem()->title() ? below->navigationItem()->title() : below->title();
    std::vector<std::string> candidates = {belowTitle ? belowTitle->utf8() : "",
                                           settings::systemText(settings::SystemText::Back), ""};
    for (const std::string& candidate : candidates) {
      if (candidate.empty() && &candidate != &candidates.back()) continue;
      back = candidate;
      left = 26 + (back.empty() ? 0 : text_.width(back, regular.get()) + 8);
      if (left + titleWidth <= right) break;
    }
  }
  double titleLeft = std::clamp((width - titleWidth) / 2, left, std::max(left, right - titleWidth));
  double titleRoom = std::max(0.0, right - titleLeft);
  if (shown.size() >= 2) {
    drawing::setColor(cairo_, tint);
    drawing::chevron(cairo_, 9, middle, 12, 21, 3, true);
    text_.draw(back, regular.get(), tint, CGRectMake(26, frame.origin.y, std::max(0.0, left - 34), frame.size.height),
               drawing::Align::Left);
  }

  if (!page) return;
  if (UIView* titleView = item->titleView()) {
    CGSize size = titleView->frame().size;
    cairo_save(cairo_);
    cairo_translate(cairo_, (width - size.width) / 2 - titleView->frame().origin.x,
                    middle - size.height / 2 - titleView->frame().origin.y);
    view(titleView, tint);
    cairo_restore(cairo_);
  } else {
    text_.draw(title, bold.get(), titleInk, CGRectMake(titleLeft, frame.origin.y, titleRoom, frame.size.height),
               drawing::Align::Center);
  }
  if (auto* button = objc_cast<UIBarButtonItem>(item->rightBarButtonItem())) {
    drawing::setColor(cairo_, tint);
    if (button->systemItem() == UIBarButtonSystemItemCompose) drawing::composeIcon(cairo_, width - 34, middle - 11, 22);
  }
}

void Painter::table(UITableView* table, const Color& tint) {
  CGFloat inset = UITableView::groupInset();
  CGFloat width = table->frame().size.width;
  auto headerFont = drawing::fontDescription("HelveticaNeue", 13);
  for (auto& section : table->sections()) {
    CGRect header = section.headerFrame;
    if (section.headerView) {
      view(section.headerView.get(), tint);
    } else if (section.header) {
      std::string title = drawing::upper(section.header->utf8());
      CGRect line = CGRectMake(inset + 15, header.origin.y + header.size.height - 7 - 17, width - 2 * inset - 30, 17);
      text_.draw(title, headerFont.get(), groupText, line, drawing::Align::Left);
    }
    if (!section.cells.empty()) {
      CGRect first = section.cells.front()->frame();
      CGRect last = section.cells.back()->frame();
      CGFloat top = first.origin.y, bottom = last.origin.y + last.size.height;
      drawing::setColor(cairo_, white);
      if (inset > 0) drawing::roundedRectangle(cairo_, first.origin.x, top, first.size.width, bottom - top, 10);
      else cairo_rectangle(cairo_, first.origin.x, top, first.size.width, bottom - top);
      cairo_fill(cairo_);
      for (std::size_t index = 0; index < section.cells.size(); ++index) {
        UITableViewCell* cell = section.cells[index].get();
        view(cell, tint);
        CGRect frame = cell->frame();
        if (index + 1 < section.cells.size())
          hairline(frame.origin.x + 15, frame.origin.x + frame.size.width, frame.origin.y + frame.size.height, separator);
      }
      if (inset == 0) {
        hairline(0, width, top, separator);
        hairline(0, width, bottom, separator);
      }
    }
    if (section.footer) {
      CGRect box = CGRectMake(inset + 15, section.footerFrame.origin.y + 7, width - 2 * inset - 30,
                              section.footerFrame.size.height);
      text_.draw(section.footer->utf8(), headerFont.get(), groupText, box, drawing::Align::Left, drawing::Wrap::Lines);
    }
  }
}

void Painter::view(UIView* shown, const Color& tint) {
  CGFloat alpha = shown->presentationAlpha();
  if (alpha <= 0) return;
  cairo_save(cairo_);
  CGRect frame = shown->frame();
  cairo_translate(cairo_, frame.origin.x, frame.origin.y);
  if (alpha < 1) {
    cairo_push_group(cairo_);
    viewContent(shown, tint);
    cairo_pop_group_to_source(cairo_);
    cairo_paint_with_alpha(cairo_, alpha);
  } else {
    viewContent(shown, tint);
  }
  cairo_restore(cairo_);
}

void Painter::viewContent(UIView* shown, const Color& tint) {
  CGRect frame = shown->frame();
  if (shown->clipsToBounds()) {
    cairo_rectangle(cairo_, 0, 0, frame.size.width, frame.size.height);
    cairo_clip(cairo_);
  }
  if (UIColor* background = shown->backgroundColor()) {
    drawing::setColor(cairo_, colorOf(background, white));
    cairo_rectangle(cairo_, 0, 0, frame.size.width, frame.size.height);
    cairo_fill(cairo_);
  }
  if (auto* control = objc_cast<UISwitch>(shown)) return switchControl(control);
  if (auto* text = objc_cast<UILabel>(shown)) label(text);
  if (auto* picture = objc_cast<UIImageView>(shown)) imageView(picture, tint);
  if (auto* list = objc_cast<UITableView>(shown)) {
    table(list, tint);
    return;  // the table draws its sections' views itself
  }
  for (auto& subview : shown->subviews()) view(subview.get(), tint);
  if (auto* cell = objc_cast<UITableViewCell>(shown)) accessory(cell, tint);
}

void Painter::label(UILabel* shown) {
  NSString* text = shown->text();
  if (!text || text->utf8().empty()) return;
  Retained<UIFont> font = shown->font() ? Retained<UIFont>::retain(shown->font()) : UIFont::systemFontOfSize(17);
  drawing::FontDescription description(font->newPangoDescription());
  drawing::Align align = shown->textAlignment() == NSTextAlignmentCenter  ? drawing::Align::Center
                         : shown->textAlignment() == NSTextAlignmentRight ? drawing::Align::Right
                                                                          : drawing::Align::Left;
  CGRect frame = shown->frame();
  text_.draw(text->utf8(), description.get(), colorOf(shown->textColor(), black),
             CGRectMake(0, 0, frame.size.width, frame.size.height), align,
             shown->numberOfLines() == 1 ? drawing::Wrap::OneLine : drawing::Wrap::Lines);
}

void Painter::imageView(UIImageView* shown, const Color& tint) {
  UIImage* image = shown->image();
  if (!image) return;  // a view without an image shows nothing, not even a shadow
  const drawing::Bitmap* bitmap = drawing::loadImage(image->file());
  if (!bitmap) return;
  CGRect frame = shown->frame();
  CALayer* layer = shown->layer();
  if (layer->shadowOpacity() > 0 && !shown->clipsToBounds()) {
    CGColorRef color = layer->shadowColor();
    Color ink{color->red, color->green, color->blue, color->alpha * layer->shadowOpacity()};
    CGSize offset = layer->shadowOffset();
    drawing::shadow(cairo_, *bitmap, CGRectMake(offset.width, offset.height, frame.size.width, frame.size.height),
                    layer->shadowRadius(), ink, scale_);
  }
  if (image->renderingMode() == UIImageRenderingModeAlwaysTemplate)
    drawing::templateImage(cairo_, *bitmap, CGRectMake(0, 0, frame.size.width, frame.size.height), tint);
  else
    drawing::image(cairo_, *bitmap, CGRectMake(0, 0, frame.size.width, frame.size.height));
}

void Painter::switchControl(UISwitch* control) {
  CGRect frame = control->frame();
  double w = frame.size.width, h = frame.size.height, radius = h / 2;
  if (control->isOn()) {
    drawing::setColor(cairo_, colorOf(control->onTintColor(), switchGreen));
    drawing::roundedRectangle(cairo_, 0, 0, w, h, radius);
    cairo_fill(cairo_);
  } else {
    drawing::setColor(cairo_, switchBorder);
    drawing::roundedRectangle(cairo_, 0, 0, w, h, radius);
    cairo_fill(cairo_);
    drawing::setColor(cairo_, white);
    drawing::roundedRectangle(cairo_, 1.5, 1.5, w - 3, h - 3, radius - 1.5);
    cairo_fill(cairo_);
  }
  double knob = h - 4, x = control->isOn() ? w - 2 - knob / 2 : 2 + knob / 2;
  drawing::setColor(cairo_, {0, 0, 0, 0.06});
  cairo_arc(cairo_, x, h / 2 + 1, knob / 2 + 0.5, 0, 2 * M_PI);
  cairo_fill(cairo_);
  drawing::setColor(cairo_, white);
  cairo_arc(cairo_, x, h / 2, knob / 2, 0, 2 * M_PI);
  cairo_fill_preserve(cairo_);
  drawing::setColor(cairo_, {0, 0, 0, 0.12});
  cairo_set_line_width(cairo_, 0.5);
  cairo_stroke(cairo_);
}

void Painter::accessory(UITableViewCell* cell, const Color& tint) {
  CGRect frame = cell->frame();
  double right = frame.size.width - 15, middle = frame.size.height / 2;
  if (cell->accessoryType() == UITableViewCellAccessoryDisclosureIndicator) {
    drawing::setColor(cairo_, chevronGray);
    drawing::chevron(cairo_, right - 8, middle, 8, 13, 2, false);
  } else if (cell->accessoryType() == UITableViewCellAccessoryCheckmark) {
    drawing::setColor(cairo_, tint);
    drawing::checkMark(cairo_, right - 14, middle - 5.5, 14, 11);
  }
}

/// Where a sheet and its buttons lie on the screen.
struct SheetLayout {
  CGRect card, cancel, confirm;
};

/// The mail composer of iOS 7 and 8: the whole screen below the status bar on
/// a phone, a form sheet in the middle of a pad's.
SheetLayout mailLayout(CGSize screen) {
  CGRect card = CGRectMake(0, statusBarHeight, screen.width, screen.height - statusBarHeight);
  if (screen.width >= 768) card = CGRectMake((screen.width - 540) / 2, (screen.height - 620) / 2, 540, 620);
  return {card, CGRectMake(card.origin.x, card.origin.y, 90, 44),
          CGRectMake(card.origin.x + card.size.width - 90, card.origin.y, 90, 44)};
}

bool isFormSheet(CGSize screen) { return screen.width >= 768; }

SheetLayout shareLayout(CGSize screen) {
  CGFloat width = std::min<CGFloat>(screen.width - 20, 420), x = (screen.width - width) / 2, top = 70;
  return {CGRectMake(x, top, width, 200), CGRectMake(x, top, 90, 44), CGRectMake(x + width - 90, top, 90, 44)};
}

std::string joined(NSArray* list) {
  std::string out;
  if (list)
    for (auto& item : *list) out += (out.empty() ? "" : ", ") + foundation::describe(item.get());
  return out;
}

/// "PLIST" of "com.quillmark.orvane.plist": what a file icon shows of its kind.
std::string extensionOf(const std::string& fileName) {
  auto dot = fileName.rfind('.');
  std::string extension = dot == std::string::npos || dot + 1 == fileName.size() ? "" : fileName.substr(dot + 1);
  return drawing::upper(extension.substr(0, 5));
}

void Painter::mailSheet(MFMailComposeViewController* mail, CGSize screen) {
  using settings::SystemText;
  SheetLayout layout = mailLayout(screen);
  CGRect card = layout.card;
  CGFloat x = card.origin.x, y = card.origin.y, width = card.size.width;
  if (isFormSheet(screen)) {
    dim(screen);
    drawing::setColor(cairo_, white);
    drawing::roundedRectangle(cairo_, x, y, width, card.size.height, 6);
    cairo_fill(cairo_);
  } else {
    drawing::setColor(cairo_, white);
    cairo_rectangle(cairo_, 0, 0, screen.width, screen.height);
    cairo_fill(cairo_);
  }
  cairo_save(cairo_);
  drawing::roundedRectangle(cairo_, x, y, width, card.size.height, isFormSheet(screen) ? 6 : 0);
  cairo_clip(cairo_);
  // The composer's own bar, under the status bar on a phone.
  drawing::setColor(cairo_, defaultBar);
  cairo_rectangle(cairo_, x, isFormSheet(screen) ? y : 0, width, isFormSheet(screen) ? 44 : y + 44);
  cairo_fill(cairo_);
  hairline(x, x + width, y + 44, barHairline);
  auto regular = drawing::fontDescription("HelveticaNeue", 17);
  auto bold = drawing::fontDescription("HelveticaNeue-Bold", 17);
  auto small = drawing::fontDescription("HelveticaNeue", 15);
  auto caption = drawing::fontDescription("HelveticaNeue", 11);
  auto tag = drawing::fontDescription("HelveticaNeue-Bold", 8);
  NSString* subject = mail->subject();
  std::string cancel = settings::systemText(SystemText::Cancel), send = settings::systemText(SystemText::Send);
  text_.draw(cancel, regular.get(), systemBlue, offsetRect(layout.cancel, 8, 0), drawing::Align::Left);
  text_.draw(send, bold.get(), systemBlue, offsetRect(layout.confirm, -8, 0), drawing::Align::Right);
  double sides = std::max(text_.width(cancel, regular.get()), text_.width(send, bold.get())) + 16;
  text_.draw(subject && !subject->utf8().empty() ? subject->utf8() : settings::systemText(SystemText::NewMessage),
             bold.get(), black, CGRectMake(x + sides, y, std::max(0.0, width - 2 * sides), 44), drawing::Align::Center);
  CGFloat line = y + 44;
  auto field = [&](SystemText name, const std::string& value) {
    std::string label = settings::systemText(name);
    double labelWidth = text_.width(label, small.get());
    text_.draw(label, small.get(), detailGray, CGRectMake(x + 15, line, labelWidth + 1, 44), drawing::Align::Left);
    text_.draw(value, small.get(), black, CGRectMake(x + 15 + labelWidth + 5, line, width - 35 - labelWidth, 44),
               drawing::Align::Left);
    line += 44;
    hairline(x + 15, x + width, line, separator);
  };
  field(SystemText::To, joined(mail->toRecipients()));
  field(SystemText::CcBcc, joined(mail->ccRecipients()));
  field(SystemText::Subject, subject ? subject->utf8() : "");
  std::string body = mail->messageBody() ? mail->messageBody()->utf8() : "";
  CGFloat bottom = y + card.size.height;
  CGRect bodyBox = CGRectMake(x + 15, line + 10, width - 30, std::min<CGFloat>(160, bottom - line - 10));
  cairo_save(cairo_);
  cairo_rectangle(cairo_, bodyBox.origin.x, bodyBox.origin.y, bodyBox.size.width, bodyBox.size.height);
  cairo_clip(cairo_);
  text_.draw(body, small.get(), black, bodyBox, drawing::Align::Left, drawing::Wrap::Lines);
  cairo_restore(cairo_);
  // Attachments stand in the message as the system's file icons, their names below.
  CGFloat column = x + 15, row = bodyBox.origin.y + bodyBox.size.height + 10;
  for (auto& attachment : mail->attachments()) {
    if (column + 80 > x + width) {
      column = x + 15;
      row += 96;
    }
    if (row + 90 > bottom) break;
    double iconX = column + 18, iconY = row;
    drawing::fileIcon(cairo_, iconX, iconY, 44, 56, separator);
    text_.draw(extensionOf(attachment.fileName), tag.get(), detailGray, CGRectMake(iconX, iconY + 30, 44, 12),
               drawing::Align::Center);
    text_.draw(attachment.fileName, caption.get(), black, CGRectMake(column, row + 60, 80, 14), drawing::Align::Center);
    text_.draw(fmt::format("{:.1f} KB", static_cast<double>(attachment.data.size()) / 1024), caption.get(), detailGray,
               CGRectMake(column, row + 74, 80, 14), drawing::Align::Center);
    column += 90;
  }
  cairo_restore(cairo_);
  if (!isFormSheet(screen)) statusBar(UIStatusBarStyleDefault, screen.width);
}

void Painter::shareSheet(SLComposeViewController* sheet, CGSize screen) {
  dim(screen);
  SheetLayout layout = shareLayout(screen);
  CGRect card = layout.card;
  drawing::setColor(cairo_, {0.97, 0.97, 0.97});
  drawing::roundedRectangle(cairo_, card.origin.x, card.origin.y, card.size.width, card.size.height, 8);
  cairo_fill(cairo_);
  auto regular = drawing::fontDescription("HelveticaNeue", 17);
  auto bold = drawing::fontDescription("HelveticaNeue-Bold", 17);
  auto small = drawing::fontDescription("HelveticaNeue", 13);
  text_.draw(settings::systemText(settings::SystemText::Cancel), regular.get(), systemBlue,
             offsetRect(layout.cancel, 15, 0), drawing::Align::Left);
  text_.draw("Twitter", bold.get(), black, CGRectMake(card.origin.x, card.origin.y, card.size.width, 44),
             drawing::Align::Center);
  text_.draw(settings::systemText(settings::SystemText::Post), bold.get(), systemBlue, offsetRect(layout.confirm, -15, 0),
             drawing::Align::Right);
  hairline(card.origin.x, card.origin.x + card.size.width, card.origin.y + 44, separator);
  std::string words = sheet->text() ? sheet->text()->utf8() : "";
  text_.draw(words, regular.get(), black,
             CGRectMake(card.origin.x + 15, card.origin.y + 54, card.size.width - 30, card.size.height - 84),
             drawing::Align::Left, drawing::Wrap::Lines);
  long left = 140 - static_cast<long>(g_utf8_strlen(words.c_str(), static_cast<gssize>(words.size())));
  text_.draw(std::to_string(left), small.get(), detailGray,
             CGRectMake(card.origin.x + 15, card.origin.y + card.size.height - 28, card.size.width - 30, 20),
             drawing::Align::Right);
}

void Painter::dim(CGSize screen) {
  drawing::setColor(cairo_, {0, 0, 0, 0.4});
  cairo_rectangle(cairo_, 0, 0, screen.width, screen.height);
  cairo_fill(cairo_);
}

void Painter::screen(const settings::Navigation& settings, CGSize size) {
  drawing::setColor(cairo_, tableBackground);
  cairo_paint(cairo_);
  PSListController* page = settings.page();
  if (page) view(page->view(), systemBlue);
  navigationBar(settings, page, size.width);
  statusBar(UIApplication::sharedApplication()->statusBarStyle(), size.width);
  if (auto* mail = settings.presentedMail()) mailSheet(mail, size);
  else if (auto* sheet = settings.presentedSheet()) shareSheet(sheet, size);
}

}  // namespace

CGSize screenSize() { return uikit::screenSize(); }

Picture& Picture::operator=(Picture&& other) noexcept {
  if (this != &other) {
    if (surface_) cairo_surface_destroy(surface_);
    surface_ = std::exchange(other.surface_, nullptr);
  }
  return *this;
}

Picture::~Picture() {
  if (surface_) cairo_surface_destroy(surface_);
}

int Picture::width() const { return surface_ ? cairo_image_surface_get_width(surface_) : 0; }
int Picture::height() const { return surface_ ? cairo_image_surface_get_height(surface_) : 0; }

Picture::Pixel Picture::pixel(int x, int y) const {
  if (!surface_ || x < 0 || y < 0 || x >= width() || y >= height()) return {};
  cairo_surface_flush(surface_);
  const unsigned char* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
  std::uint32_t value;
  std::memcpy(&value, row + 4 * x, 4);
  int alpha = static_cast<int>(value >> 24);
  auto channel = [&](int shift) {
    int premultiplied = static_cast<int>((value >> shift) & 0xff);
    return alpha == 0 ? 0 : std::min(255, (premultiplied * 255 + alpha / 2) / alpha);
  };
  return {channel(16), channel(8), channel(0), alpha};
}

orvane::Result<std::string> Picture::png() const {
  if (!surface_) return orvane::Error("there is no picture to encode");
  return drawing::encodePng(surface_);
}

namespace {

/// How far down the page's views reach, in screen points.
CGFloat contentBottom(UIView* view, CGFloat top) {
  CGFloat bottom = top + view->frame().origin.y + view->frame().size.height;
  for (auto& subview : view->subviews())
    bottom = std::max(bottom, contentBottom(subview.get(), top + view->frame().origin.y));
  return bottom;
}

}  // namespace

Picture screenshot(const settings::Navigation& settings, const Options& options) {
  std::lock_guard lock(drawingMutex());
  int scale = std::clamp(options.scale, 1, 3);
  CGSize size = screenSize();
  if (options.fullPage && settings.page()) {
    CGFloat bottom = contentBottom(settings.page()->view(), 0);
    if (UITableView* table = settings.page()->table(); table && !table->sections().empty()) {
      CGRect footer = table->sections().back().footerFrame;
      bottom = std::max(bottom, table->frame().origin.y + footer.origin.y + footer.size.height);
    }
    // A page that fits is the screen itself. Pictures stay within what a PNG reader is glad to take.
    if (bottom > size.height) size.height = std::min(std::ceil(bottom) + 10, 4096.0 / scale);
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width * scale),
                                                        static_cast<int>(size.height * scale));
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return Picture();
  }
  cairo_t* cairo = cairo_create(surface);
  cairo_scale(cairo, scale, scale);
  {
    Painter painter(cairo, scale);
    painter.screen(settings, size);
  }
  cairo_destroy(cairo);
  return Picture(surface);
}

orvane::Result<std::string> screenshotPng(const settings::Navigation& settings, const Options& options) { return screenshot(settings, options).png(); }

std::vector<Target> targets(const settings::Navigation& settings, const Options& options) {
  std::lock_guard lock(drawingMutex());
  std::vector<Target> found;
  CGSize size = screenSize();
  if (settings.presentedMail()) {
    SheetLayout layout = mailLayout(size);
    return {{layout.cancel, "mail-cancel", settings::systemText(settings::SystemText::Cancel)},
            {layout.confirm, "mail-send", settings::systemText(settings::SystemText::Send)}};
  }
  if (settings.presentedSheet()) {
    SheetLayout layout = shareLayout(size);
    return {{layout.cancel, "share-cancel", settings::systemText(settings::SystemText::Cancel)},
            {layout.confirm, "share-post", settings::systemText(settings::SystemText::Post)}};
  }
  if (settings.pages().size() >= 2)
    found.push_back({CGRectMake(0, statusBarHeight, 100, 44), "back", settings::systemText(settings::SystemText::Back)});
  PSListController* page = settings.page();
  if (!page) return found;
  if (objc_cast<UIBarButtonItem>(page->navigationItem()->rightBarButtonItem()))
    found.push_back({CGRectMake(size.width - 50, statusBarHeight, 50, 44), "share", "Share"});
  UITableView* table = page->table();
  if (!table) return found;
  CGRect visible = table->frame();
  auto& groups = page->groups();
  auto& sections = table->sections();
  for (std::size_t section = 0; section < sections.size() && section < groups.size(); ++section)
    for (std::size_t row = 0; row < sections[section].cells.size() && row < groups[section].rows.size(); ++row) {
      CGRect frame = offsetRect(sections[section].cells[row]->frame(), visible.origin.x, visible.origin.y);
      if (!options.fullPage && frame.origin.y >= visible.origin.y + visible.size.height) continue;
      NSString* name = groups[section].rows[row]->name();
      found.push_back({frame, "row", name ? name->utf8() : ""});
    }
  return found;
}

std::optional<Target> targetAt(const settings::Navigation& settings, CGFloat x, CGFloat y) {
  for (auto& target : targets(settings)) {
    CGRect f = target.frame;
    if (x >= f.origin.x && x < f.origin.x + f.size.width && y >= f.origin.y && y < f.origin.y + f.size.height)
      return target;
  }
  return std::nullopt;
}

}  // namespace render
