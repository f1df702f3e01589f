#include "prefs/views/QMOrvaneDeveloperTableCell.h"

#include "platform/objc/Methods.h"
#include "prefs/QMOrvaneLocalizer.h"
#include "prefs/views/QMOrvaneCustomHeaderView.h"
#include "prefs/views/QMOrvaneLogoTableCell.h"

namespace {

Retained<UILabel> makeLabel(UIView* cell, NSString* text, UIColor* colour, CGFloat size) {
  auto label = Retained<UILabel>::adopt(objc_cast<UILabel>(UIView::viewWithFrame(UILabel::class_(), CGRectZero).release()));
  label->setText(text);
  label->setTextColor(colour);
  label->setBackgroundColor(UIColor::clearColor());
  label->setFont(UIFont::fontWithName_size(NSSTR("Helvetica Light"), size));
  label->setTextAlignment(NSTextAlignmentCenter);
  cell->addSubview(label);
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  return label;
}

void constrain(UIView* cell, UIView* item, NSLayoutAttribute attribute, UIView* to, NSLayoutAttribute toAttribute,
               CGFloat constant) {
  cell->addConstraint(NSLayoutConstraint::constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
      item, attribute, NSLayoutRelationEqual, to, toAttribute, 1.0, constant));
}

}  // namespace

Class QMOrvaneDeveloperTableCell::class_() {
  static Class cls = [] {
    using Cell = QMOrvaneDeveloperTableCell;
    Class registered = objc_registerCppClass<Cell>("QMOrvaneDeveloperTableCell", PSTableCell::class_());
    objc::addMethod<&Cell::initWithStyle_reuseIdentifier_specifier>(registered, "initWithStyle:reuseIdentifier:specifier:");
    objc::addMethod<&Cell::initWithDevName_realName_jobSubtitle_devImage>(registered,
                                                                           "initWithDevName:realName:jobSubtitle:devImage:");
    objc::addMethod<&Cell::devImageView>(registered, "devImageView");
    objc::addMethod<&Cell::setDevImageView>(registered, "setDevImageView:");
    objc::addMethod<&Cell::devNameLabel>(registered, "devNameLabel");
    objc::addMethod<&Cell::setDevNameLabel>(registered, "setDevNameLabel:");
    objc::addMethod<&Cell::realNameLabel>(registered, "realNameLabel");
    objc::addMethod<&Cell::setRealNameLabel>(registered, "setRealNameLabel:");
    objc::addMethod<&Cell::jobLabel>(registered, "jobLabel");
    objc::addMethod<&Cell::setJobLabel>(registered, "setJobLabel:");
    return registered;
  }();
  return cls;
}

QMOrvaneDeveloperTableCell* QMOrvaneDeveloperTableCell::initWithStyle_reuseIdentifier_specifier(UITableViewCellStyle,
                                                                                                NSString*,
                                                                                                PSSpecifier* specifier) {
  NSBundle* bundle = QMOrvaneLocalizer::sharedLocalizer()->localizationBundle();
  auto* imageName = specifier ? objc_cast<NSString>(specifier->propertyForKey("devImage")) : nullptr;
  Retained<NSString> path = bundle ? bundle->pathForResource_ofType(imageName, NSSTR("png")) : nullptr;
  Retained<UIImage> image = UIImage::imageWithContentsOfFile(path);
  auto text = [&](const char* key) { return specifier ? objc_cast<NSString>(specifier->propertyForKey(key)) : nullptr; };
  NSString* name = text("devName");
  NSString* realName = text("realName");
  NSString* job = text("job");
  return objc::send<QMOrvaneDeveloperTableCell*>(this, "initWithDevName:realName:jobSubtitle:devImage:", name, realName,
                                                 job, image.get());
}

QMOrvaneDeveloperTableCell* QMOrvaneDeveloperTableCell::initWithDevName_realName_jobSubtitle_devImage(
    NSString* name, NSString* realName, NSString* job, UIImage* image) {
  if (!objc::send<id>(this, "initWithStyle:reuseIdentifier:", UITableViewCellStyleDefault,
                      NSSTR("QMOrvaneDeveloperTableCell")))
    return nullptr;
  setDevImageView(UIImageView::imageViewWithImage(image));
  devImageView_->setFrame(CGRectMake(10, 15, 70, 70));
  orvane::giveImageShadow(devImageView_);
  addSubview(devImageView_);

  setDevNameLabel(makeLabel(this, name, UIColor::darkGrayColor(), orvane::deviceIsPad() ? 30 : 20));
  constrain(this, devNameLabel_, NSLayoutAttributeLeft, devImageView_, NSLayoutAttributeRight, 30);
  constrain(this, devNameLabel_, NSLayoutAttributeCenterY, this, NSLayoutAttributeCenterY, -20);
  setRealNameLabel(makeLabel(this, realName, UIColor::grayColor(), 15));
  constrain(this, realNameLabel_, NSLayoutAttributeLeft, devImageView_, NSLayoutAttributeRight, 30);
  constrain(this, realNameLabel_, NSLayoutAttributeTop, devNameLabel_, NSLayoutAttributeBottom, 0);
  setJobLabel(makeLabel(this, job, UIColor::grayColor(), 12));
  constrain(this, jobLabel_, NSLayoutAttributeLeft, devImageView_, NSLayoutAttributeRight, 30);
  constrain(this, jobLabel_, NSLayoutAttributeTop, realNameLabel_, NSLayoutAttributeBottom, 5);
  return this;
}

namespace {
[[maybe_unused]] const Class registered = QMOrvaneDeveloperTableCell::class_();
}
