#include "prefs/views/QMOrvaneLogoTableCell.h"

#include "contract/Orvane.h"
#include "platform/objc/Methods.h"
#include "prefs/Selectors.h"
#include "support/Objects.h"

namespace orvane {
void giveImageShadow(UIView* view) {
  CALayer* layer = view->layer();
  layer->setShadowColor(UIColor::blackColor()->CGColor());
  layer->setShadowOffset(CGSize{0, 1});
  layer->setShadowOpacity(0.2f);
  layer->setShadowRadius(1);
  view->setClipsToBounds(false);
}
}  // namespace orvane

namespace {
const char logoImageViewKey = 0;
}

Class QMOrvaneLogoTableCell::class_() {
  using Cell = QMOrvaneLogoTableCell;
  using objc::method;
  namespace sel = orvane::sel;
  static Class cls = objc::defineClass({
      .name = "QMOrvaneLogoTableCell",
      .superclass = PSTableCell::class_(),
      .methods = {method<&Cell::init>(sel::init), method<&Cell::logoImageView>(sel::logoImageView),
                  method<&Cell::setLogoImageView>(sel::setLogoImageView)},
  });
  return cls;
}

UIImageView* QMOrvaneLogoTableCell::logoImageView() {
  return static_cast<UIImageView*>(objc_getAssociatedObject(this, &logoImageViewKey));
}

void QMOrvaneLogoTableCell::setLogoImageView(UIImageView* view) {
  objc_setAssociatedObject(this, &logoImageViewKey, view, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

QMOrvaneLogoTableCell* QMOrvaneLogoTableCell::init() {
  if (!objc::sendSuper<id>(class_(), this, orvane::sel::initWithFrame, CGRectZero)) return nullptr;
  auto image = UIImage::imageWithContentsOfFile(
      NSSTR(orvane::contract::bundlePath)->stringByAppendingString(NSSTR("/footerLogo.png")).get());
  setLogoImageView(UIImageView::imageViewWithImage(image.get()).get());
  UIImageView* logo = logoImageView();
  logo->setFrame(CGRectMake(0, 0, 80, 80));
  orvane::giveImageShadow(logo);
  addSubview(logo);
  logo->setTranslatesAutoresizingMaskIntoConstraints(false);
  addConstraint(NSLayoutConstraint::constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
      logo, NSLayoutAttributeCenterX, NSLayoutRelationEqual, this, NSLayoutAttributeCenterX, 1.0, 0).get());
  return this;
}
