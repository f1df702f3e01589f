#include "platform/uikit/UIView.h"

#include <fmt/format.h>

#include <algorithm>

#include "platform/foundation/NSTimer.h"
#include "platform/objc/Methods.h"
#include "platform/uikit/BlockFunction.h"
#include "platform/uikit/UIColor.h"

Class UIView::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIView>("UIView", NSObject::class_());
    objc::addMethod<&UIView::initWithFrame>(registered, "initWithFrame:");
    objc::addMethod<&UIView::frame>(registered, "frame");
    objc::addMethod<&UIView::setFrame>(registered, "setFrame:");
    objc::addMethod<&UIView::alpha>(registered, "alpha");
    objc::addMethod<&UIView::setAlpha>(registered, "setAlpha:");
    objc::addClassFunction(registered, "animateWithDuration:animations:completion:",
                           +[](Class, SEL, double duration, BlockLiteral* animations, BlockLiteral* completion) {
                             UIView::animateWithDuration_animations_completion(
                                 duration, uikit::functionOfBlock<void>(animations),
                                 uikit::functionOfBlock<void, BOOL>(completion));
                           });
    objc::addMethod<&UIView::backgroundColor>(registered, "backgroundColor");
    objc::addMethod<&UIView::setBackgroundColor>(registered, "setBackgroundColor:");
    objc::addMethod<&UIView::addSubview>(registered, "addSubview:");
    objc::addMethod<&UIView::removeFromSuperview>(registered, "removeFromSuperview");
    objc::addMethod<&UIView::superview>(registered, "superview");
    objc::addMethod<&UIView::translatesAutoresizingMaskIntoConstraints>(registered,
                                                                        "translatesAutoresizingMaskIntoConstraints");
    objc::addMethod<&UIView::setTranslatesAutoresizingMaskIntoConstraints>(
        registered, "setTranslatesAutoresizingMaskIntoConstraints:");
    objc::addMethod<&UIView::addConstraint>(registered, "addConstraint:");
    objc::addMethod<&UIView::layoutIfNeeded>(registered, "layoutIfNeeded");
    objc::addMethod<&UIView::layer>(registered, "layer");
    objc::addMethod<&UIView::clipsToBounds>(registered, "clipsToBounds");
    objc::addMethod<&UIView::setClipsToBounds>(registered, "setClipsToBounds:");
    return registered;
  }();
  return cls;
}

Retained<UIView> UIView::viewWithFrame(Class cls, CGRect frame) {
  return objc::make<UIView>(cls, "initWithFrame:", frame);
}

UIView* UIView::initWithFrame(CGRect frame) {
  frame_ = frame;
  return this;
}

namespace {

struct AnimationContext {
  double start = 0, duration = 0;
};
thread_local AnimationContext* currentAnimation = nullptr;
thread_local double latestAnimationEnd = 0;

/// Runs an animation's completion when its time has come, from the run loop.
class AnimationCompletion : public NSObject {
 public:
  static Class class_() {
    static Class cls = [] {
      Class registered = objc_registerCppClass<AnimationCompletion>("_UIViewAnimationCompletion", NSObject::class_());
      auto finish = [](id self, SEL) { static_cast<AnimationCompletion*>(self)->completion(true); };
      class_addMethod(registered, sel_registerName("finish"), reinterpret_cast<IMP>(+finish), "v@:");
      return registered;
    }();
    return cls;
  }
  std::function<void(bool)> completion;
};

}  // namespace

void UIView::setAlpha(CGFloat alpha) {
  if (currentAnimation)
    alphaAnimation_ = {presentationAlpha(), alpha, currentAnimation->start, currentAnimation->duration};
  else
    alphaAnimation_ = {alpha, alpha, 0, 0};
  alpha_ = alpha;
}

CGFloat UIView::presentationAlpha() const {
  const AlphaAnimation& animation = alphaAnimation_;
  if (animation.duration <= 0) return alpha_;
  double progress = (foundation::clock::now() - animation.start) / animation.duration;
  if (progress >= 1) return animation.to;
  if (progress <= 0) return animation.from;
  return animation.from + (animation.to - animation.from) * progress;
}

void UIView::animateWithDuration_animations_completion(double duration, const std::function<void()>& animations,
                                                       const std::function<void(bool)>& completion) {
  AnimationContext context{foundation::clock::now(), duration};
  latestAnimationEnd = std::max(latestAnimationEnd, context.start + duration);
  AnimationContext* outer = std::exchange(currentAnimation, &context);
  if (animations) animations();
  currentAnimation = outer;
  if (!completion) return;
  auto finisher = objc::alloc<AnimationCompletion>();
  finisher->completion = completion;
  NSTimer::scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(duration, finisher.get(), sel_registerName("finish"),
                                                                            nullptr, false);
}

double UIView::animationsEnd() { return latestAnimationEnd; }

void UIView::setBackgroundColor(UIColor* color) { backgroundColor_ = objc::retain(color); }

void UIView::addSubview(UIView* view) {
  if (!view || view == this) return;
  Retained<UIView> keep = objc::retain(view);
  view->removeFromSuperview();
  view->superview_ = this;
  subviews_.push_back(keep);
}

void UIView::removeFromSuperview() {
  if (!superview_) return;
  Retained<UIView> keep = objc::retain(this);  // the superview may hold the last reference
  UIView* parent = std::exchange(superview_, nullptr);
  auto& siblings = parent->subviews_;
  siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [&](auto& view) { return view.get() == this; }),
                 siblings.end());
}

void UIView::addConstraint(NSLayoutConstraint* constraint) {
  if (constraint) constraints_.push_back(Retained<NSLayoutConstraint>::retain(constraint));
}

CALayer* UIView::layer() const {
  if (!layer_) layer_ = objc::alloc<CALayer>();
  return layer_.get();
}

UIView::Properties UIView::inspectedProperties() const {
  Properties properties;
  if (alpha_ != 1 || presentationAlpha() != 1) properties.emplace_back("alpha", fmt::format("{} (shown {})", alpha_, presentationAlpha()));
  if (backgroundColor_) properties.emplace_back("backgroundColor", backgroundColor_->description());
  if (layer_ && layer_->shadowOpacity() > 0) {
    CGColorRef color = layer_->shadowColor();
    CGSize offset = layer_->shadowOffset();
    properties.emplace_back("shadow", fmt::format("CGColor({} {} {} {}) offset ({}, {}) opacity {} radius {}", color->red,
                                                  color->green, color->blue, color->alpha, offset.width, offset.height,
                                                  layer_->shadowOpacity(), layer_->shadowRadius()));
    if (!clipsToBounds_) properties.emplace_back("clipsToBounds", "NO");
  }
  return properties;
}

namespace {
[[maybe_unused]] const Class registered = UIView::class_();
}
