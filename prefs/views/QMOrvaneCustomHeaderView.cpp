#include "prefs/views/QMOrvaneCustomHeaderView.h"

#include <stdlib.h>

#include "platform/objc/Methods.h"
#include "prefs/Selectors.h"
#include "support/Objects.h"

namespace orvane {
bool deviceIsPad() {
  NSObject* device = UIDevice::currentDevice();
  return device->respondsToSelector(sel::userInterfaceIdiom) &&
         objc::send<long>(device, sel::userInterfaceIdiom) == UIUserInterfaceIdiomPad;
}
}  // namespace orvane

namespace {

Retained<UILabel> makeLabel(UIView* header, NSString* text, CGFloat size) {
  auto label = objc::make<UILabel>(UILabel::class_(), orvane::sel::initWithFrame, CGRectZero);
  label->setNumberOfLines(1);
  label->setFont(UIFont::fontWithName_size(NSSTR("HelveticaNeue-Light"), size).get());
  label->setText(text);
  label->setBackgroundColor(UIColor::clearColor());
  label->setTextColor(UIColor::grayColor());
  label->setTextAlignment(NSTextAlignmentCenter);
  header->addSubview(label.get());
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  return label;
}

void constrain(UIView* header, UIView* item, NSLayoutAttribute attribute, UIView* to, NSLayoutAttribute toAttribute,
               CGFloat multiplier, CGFloat constant) {
  header->addConstraint(NSLayoutConstraint::constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
      item, attribute, NSLayoutRelationEqual, to, toAttribute, multiplier, constant).get());
}

}  // namespace

Class QMOrvaneCustomHeaderView::class_() {
  using View = QMOrvaneCustomHeaderView;
  using objc::method;
  namespace sel = orvane::sel;
  static Class cls = objc::defineClass({
      .name = "QMOrvaneCustomHeaderView",
      .superclass = UIView::class_(),
      .ivars = {orvane::headerLabelVariable, orvane::subHeaderLabelVariable, orvane::randomLabelVariable},
      .methods = {method<&View::init>(sel::init), method<&View::randomTexts>(sel::randomTexts),
                  method<&View::headerLabel>(sel::headerLabel), method<&View::setHeaderLabel>(sel::setHeaderLabel),
                  method<&View::subHeaderLabel>(sel::subHeaderLabel),
                  method<&View::setSubHeaderLabel>(sel::setSubHeaderLabel),
                  method<&View::randomLabel>(sel::randomLabel), method<&View::setRandomLabel>(sel::setRandomLabel)},
  });
  return cls;
}

NSArray* QMOrvaneCustomHeaderView::randomTexts() {
  return NSArray::arrayWithObjects({NSSTR("Thank you for the support."), NSSTR("Enjoy!"), NSSTR("Some Other Random Text"),
                                    NSSTR("You Can Include However Many You Want"), NSSTR("Follow me on Twitter."),
                                    NSSTR("Something should go here right?"), NSSTR("Hey"), NSSTR("Merrow Lanz!"),
                                    NSSTR("Shake it off!")})
      .autorelease();
}

QMOrvaneCustomHeaderView* QMOrvaneCustomHeaderView::init() {
  if (!objc::sendSuper<id>(class_(), this, orvane::sel::initWithFrame, CGRectZero)) return nullptr;
  auto title = makeLabel(this, NSSTR("Orvane"), orvane::deviceIsPad() ? 44 : 36);
  setHeaderLabel(title.get());
  constrain(this, title.get(), NSLayoutAttributeTop, this, NSLayoutAttributeBottom, 0.2, 0);
  constrain(this, title.get(), NSLayoutAttributeCenterX, this, NSLayoutAttributeCenterX, 1.0, 0);

  auto subtitle = makeLabel(this, NSSTR("An Awesome Cydia Substrate Tweak!"), orvane::deviceIsPad() ? 22 : 17);
  setSubHeaderLabel(subtitle.get());
  constrain(this, subtitle.get(), NSLayoutAttributeTop, title.get(), NSLayoutAttributeBottom, 1.0, 5);
  constrain(this, subtitle.get(), NSLayoutAttributeCenterX, this, NSLayoutAttributeCenterX, 1.0, 0);

  NSArray* texts = objc::send<NSArray*>(this, orvane::sel::randomTexts);
  auto* line = orvane::as<NSString>(texts->objectAtIndex(arc4random_uniform(static_cast<uint32_t>(texts->count()))));
  auto random = makeLabel(this, line, 15);
  setRandomLabel(random.get());
  constrain(this, random.get(), NSLayoutAttributeTop, subtitle.get(), NSLayoutAttributeBottom, 1.0, 5);
  constrain(this, random.get(), NSLayoutAttributeCenterX, this, NSLayoutAttributeCenterX, 1.0, 0);
  return this;
}
