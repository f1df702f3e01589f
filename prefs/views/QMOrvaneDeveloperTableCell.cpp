#include "prefs/views/QMOrvaneDeveloperTableCell.h"

#include "platform/objc/Methods.h"
#include "prefs/QMOrvaneLocalizer.h"
#include "prefs/Selectors.h"
#include "prefs/views/QMOrvaneCustomHeaderView.h"
#include "prefs/views/QMOrvaneLogoTableCell.h"
#include "support/Objects.h"

namespace {

Retained<UILabel> makeLabel(UIView* cell, NSString* text, UIColor* colour, CGFloat size) {
  auto label = objc::make<UILabel>(UILabel::class_(), orvane::sel::initWithFrame, CGRectZero);
  label->setText(text);
  label->setTextColor(colour);
  label->setBackgroundColor(UIColor::clearColor());
  label->setFont(UIFont::fontWithName_size(NSSTR("Helvetica Light"), size).get());
  label->setTextAlignment(NSTextAlignmentCenter);
  cell->addSubview(label.get());
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  return label;
}

void constrain(UIView* cell, UIView* item, NSLayoutAttribute attribute, UIView* to, NSLayoutAttribute toAttribute,
               CGFloat constant) {
  cell->addConstraint(NSLayoutConstraint::constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
      item, attribute, NSLayoutRelationEqual, to, toAttribute, 1.0, constant).get());
}

}  // namespace

Class QMOrvaneDeveloperTableCell::class_() {
  using Cell = QMOrvaneDeveloperTableCell;
  using objc::method;
  namespace sel = orvane::sel;
  static Class cls = objc::defineClass({
      .name = "QMOrvaneDeveloperTableCell",
      .superclass = PSTableCell::class_(),
      .methods = {method<&Cell::initWithStyle_reuseIdentifier_specifier>(sel::initWithStyle_reuseIdentifier_specifier),
                  method<&Cell::initWithDevName_realName_jobSubtitle_devImage>(
                      sel::initWithDevName_realName_jobSubtitle_devImage),
                  method<&Cell::devImageView>(sel::devImageView), method<&Cell::setDevImageView>(sel::setDevImageView),
                  method<&Cell::devNameLabel>(sel::devNameLabel), method<&Cell::setDevNameLabel>(sel::setDevNameLabel),
                  method<&Cell::realNameLabel>(sel::realNameLabel),
                  method<&Cell::setRealNameLabel>(sel::setRealNameLabel), method<&Cell::jobLabel>(sel::jobLabel),
                  method<&Cell::setJobLabel>(sel::setJobLabel)},
  });
  return cls;
}

namespace {
const char devImageViewKey = 0, devNameLabelKey = 0, realNameLabelKey = 0, jobLabelKey = 0;

template <class T>
T* held(id cell, const char& key) {
  return static_cast<T*>(objc_getAssociatedObject(cell, &key));
}

void hold(id cell, const char& key, id value) { objc_setAssociatedObject(cell, &key, value, OBJC_ASSOCIATION_RETAIN_NONATOMIC); }
}  // namespace

UIImageView* QMOrvaneDeveloperTableCell::devImageView() { return held<UIImageView>(this, devImageViewKey); }
void QMOrvaneDeveloperTableCell::setDevImageView(UIImageView* view) { hold(this, devImageViewKey, view); }
UILabel* QMOrvaneDeveloperTableCell::devNameLabel() { return held<UILabel>(this, devNameLabelKey); }
void QMOrvaneDeveloperTableCell::setDevNameLabel(UILabel* label) { hold(this, devNameLabelKey, label); }
UILabel* QMOrvaneDeveloperTableCell::realNameLabel() { return held<UILabel>(this, realNameLabelKey); }
void QMOrvaneDeveloperTableCell::setRealNameLabel(UILabel* label) { hold(this, realNameLabelKey, label); }
UILabel* QMOrvaneDeveloperTableCell::jobLabel() { return held<UILabel>(this, jobLabelKey); }
void QMOrvaneDeveloperTableCell::setJobLabel(UILabel* label) { hold(this, jobLabelKey, label); }

QMOrvaneDeveloperTableCell* QMOrvaneDeveloperTableCell::initWithStyle_reuseIdentifier_specifier(UITableViewCellStyle,
                                                                                                NSString*,
                                                                                                PSSpecifier* specifier) {
  NSBundle* bundle = QMOrvaneLocalizer::sharedLocalizer()->localizationBundle();
  auto* imageName = specifier ? orvane::as<NSString>(specifier->propertyForKey(NSSTR("devImage"))) : nullptr;
  Retained<NSString> path = bundle ? bundle->pathForResource_ofType(imageName, NSSTR("png")) : nullptr;
  Retained<UIImage> image = UIImage::imageWithContentsOfFile(path.get());
  auto text = [&](const char* key) {
    return specifier ? orvane::as<NSString>(specifier->propertyForKey(orvane::constantString(key))) : nullptr;
  };
  NSString* name = text("devName");
  NSString* realName = text("realName");
  NSString* job = text("job");
  return objc::send<QMOrvaneDeveloperTableCell*>(this, orvane::sel::initWithDevName_realName_jobSubtitle_devImage, name,
                                                 realName, job, image.get());
}

QMOrvaneDeveloperTableCell* QMOrvaneDeveloperTableCell::initWithDevName_realName_jobSubtitle_devImage(
    NSString* name, NSString* realName, NSString* job, UIImage* image) {
  if (!objc::send<id>(this, orvane::sel::initWithStyle_reuseIdentifier, UITableViewCellStyleDefault,
                      NSSTR("QMOrvaneDeveloperTableCell")))
    return nullptr;
  setDevImageView(UIImageView::imageViewWithImage(image).get());
  UIImageView* portrait = devImageView();
  portrait->setFrame(CGRectMake(10, 15, 70, 70));
  orvane::giveImageShadow(portrait);
  addSubview(portrait);

  setDevNameLabel(makeLabel(this, name, UIColor::darkGrayColor(), orvane::deviceIsPad() ? 30 : 20).get());
  constrain(this, devNameLabel(), NSLayoutAttributeLeft, portrait, NSLayoutAttributeRight, 30);
  constrain(this, devNameLabel(), NSLayoutAttributeCenterY, this, NSLayoutAttributeCenterY, -20);
  setRealNameLabel(makeLabel(this, realName, UIColor::grayColor(), 15).get());
  constrain(this, realNameLabel(), NSLayoutAttributeLeft, portrait, NSLayoutAttributeRight, 30);
  constrain(this, realNameLabel(), NSLayoutAttributeTop, devNameLabel(), NSLayoutAttributeBottom, 0);
  setJobLabel(makeLabel(this, job, UIColor::grayColor(), 12).get());
  constrain(this, jobLabel(), NSLayoutAttributeLeft, portrait, NSLayoutAttributeRight, 30);
  constrain(this, jobLabel(), NSLayoutAttributeTop, realNameLabel(), NSLayoutAttributeBottom, 5);
  return this;
}
