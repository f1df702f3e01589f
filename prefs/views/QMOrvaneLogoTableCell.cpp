#include "prefs/views/QMOrvaneLogoTableCell.h"

#include "platform/objc/Methods.h"

namespace orvane {
void giveImageShadow(UIView* view) {
  UIView::Shadow& shadow = view->layerShadow();
  shadow.color = UIColor::blackColor();
  shadow.offset = {0, 1};
  shadow.opacity = 0.2f;
  shadow.radius = 1;
  view->setClipsToBounds(false);
}
}  // namespace orvane

Class QMOrvaneLogoTableCell::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<QMOrvaneLogoTableCell>("QMOrvaneLogoTableCell", PSTableCell::class_());
    objc::addMethod<&QMOrvaneLogoTableCell::init>(registered, "init");
    objc::addMethod<&QMOrvaneLogoTableCell::logoImageView>(registered, "logoImageView");
    objc::addMethod<&QMOrvaneLogoTableCell::setLogoImageView>(registered, "setLogoImageView:");
    return registered;
  }();
  return cls;
}

QMOrvaneLogoTableCell* QMOrvaneLogoTableCell::init() {
  if (!objc::sendSuper<id>(class_(), this, "initWithFrame:", CGRectZero)) return nullptr;
  auto image = UIImage::imageWithContentsOfFile(NSSTR("/Library/PreferenceBundles/Orvane.bundle/footerLogo.png"));
  setLogoImageView(UIImageView::imageViewWithImage(image));
  logoImageView_->setFrame(CGRectMake(0, 0, 80, 80));
  orvane::giveImageShadow(logoImageView_);
  addSubview(logoImageView_);
  logoImageView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  addConstraint(NSLayoutConstraint::constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
      logoImageView_, NSLayoutAttributeCenterX, NSLayoutRelationEqual, this, NSLayoutAttributeCenterX, 1.0, 0));
  return this;
}

namespace {
[[maybe_unused]] const Class registered = QMOrvaneLogoTableCell::class_();
}
