#pragma once

#include <functional>

#include "platform/coregraphics/CGGeometry.h"
#include "platform/objc/BlockLayout.h"
#include "platform/objc/NSObject.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIColor.h"

class UIView : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("UIView"); }

  CGRect frame() const { return objc::sendMessage<CGRect>(this, ORVANE_SEL("frame")); }
  void setFrame(CGRect frame) { objc::sendMessage<void>(this, ORVANE_SEL("setFrame:"), frame); }
  CGFloat alpha() const { return objc::sendMessage<CGFloat>(this, ORVANE_SEL("alpha")); }
  void setAlpha(CGFloat alpha) { objc::sendMessage<void>(this, ORVANE_SEL("setAlpha:"), alpha); }

  /// `+animateWithDuration:animations:completion:` with C++ functions, each run
  /// from a block that holds its own copy.
  static void animateWithDuration_animations_completion(double duration, const std::function<void()>& animations,
                                                        const std::function<void(bool)>& completion) {
#if __BLOCKS__
    std::function<void()> run = animations;
    std::function<void(bool)> finish = completion;
    void (^animationBlock)(void) = ^{
      if (run) run();
    };
    void (^completionBlock)(BOOL) = ^(BOOL finished) {
      finish(finished);
    };
    objc::sendMessage<void>(class_(), ORVANE_SEL("animateWithDuration:animations:completion:"), duration,
                            animationBlock, finish ? completionBlock : static_cast<void (^)(BOOL)>(0));
#else
    objc::OwnedBlock<void()> animationBlock([run = animations] {
      if (run) run();
    });
    objc::OwnedBlock<void(BOOL)> completionBlock(
        completion ? std::function<void(BOOL)>([finish = completion](BOOL finished) { finish(finished); }) : nullptr);
    objc::sendMessage<void>(class_(), ORVANE_SEL("animateWithDuration:animations:completion:"), duration,
                            animationBlock.get(), completionBlock.get());
#endif
  }
  UIColor* backgroundColor() const { return objc::sendMessage<UIColor*>(this, ORVANE_SEL("backgroundColor")); }
  void setBackgroundColor(UIColor* color) { objc::sendMessage<void>(this, ORVANE_SEL("setBackgroundColor:"), color); }

  void addSubview(UIView* view) { objc::sendMessage<void>(this, ORVANE_SEL("addSubview:"), view); }
  void removeFromSuperview() { objc::sendMessage<void>(this, ORVANE_SEL("removeFromSuperview")); }
  UIView* superview() const { return objc::sendMessage<UIView*>(this, ORVANE_SEL("superview")); }

  bool translatesAutoresizingMaskIntoConstraints() const {
    return objc::sendMessage<BOOL>(this, ORVANE_SEL("translatesAutoresizingMaskIntoConstraints"));
  }
  void setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
    objc::sendMessage<void>(this, ORVANE_SEL("setTranslatesAutoresizingMaskIntoConstraints:"), BOOL(translates));
  }
  void addConstraint(NSLayoutConstraint* constraint) {
    objc::sendMessage<void>(this, ORVANE_SEL("addConstraint:"), constraint);
  }
  void layoutIfNeeded() { objc::sendMessage<void>(this, ORVANE_SEL("layoutIfNeeded")); }

  CALayer* layer() const { return objc::sendMessage<CALayer*>(this, ORVANE_SEL("layer")); }
  bool clipsToBounds() const { return objc::sendMessage<BOOL>(this, ORVANE_SEL("clipsToBounds")); }
  void setClipsToBounds(bool clips) { objc::sendMessage<void>(this, ORVANE_SEL("setClipsToBounds:"), BOOL(clips)); }
};
