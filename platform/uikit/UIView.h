#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/coregraphics/CGGeometry.h"
#include "platform/objc/NSObject.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIColor.h"

class UIColor;
class NSLayoutConstraint;

/// A rectangle on screen with subviews. Views own their subviews; a view's
/// superview is not owned.
class UIView : public NSObject {
 public:
  static Class class_();
  /// A new view of the runtime class, made with its "initWithFrame:".
  static Retained<UIView> viewWithFrame(Class cls, CGRect frame);

  UIView* initWithFrame(CGRect frame);

  CGRect frame() const { return frame_; }
  void setFrame(CGRect frame) { frame_ = frame; }
  CGFloat alpha() const { return alpha_; }
  /// Inside an animation block the change is animated: the value is the new
  /// one at once, what is shown moves there over the animation's time.
  void setAlpha(CGFloat alpha);
  /// The alpha shown now, part way through an animation or not.
  CGFloat presentationAlpha() const;

  /// Runs `animations`, animating the changes it makes over `duration`
  /// seconds of the run loop's clock; `completion` runs when it has ended.
  static void animateWithDuration_animations_completion(double duration, const std::function<void()>& animations,
                                                        const std::function<void(bool)>& completion);
  /// When the last animation begun on this thread ends, by the run loop's clock (0 before any).
  static double animationsEnd();
  UIColor* backgroundColor() const { return backgroundColor_.get(); }
  void setBackgroundColor(UIColor* color);

  void addSubview(UIView* view);
  void removeFromSuperview();
  UIView* superview() const { return superview_; }
  const std::vector<Retained<UIView>>& subviews() const { return subviews_; }

  /// Whether the view keeps its frame (YES, the default) or is placed by the constraints of its superview.
  bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizing_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool translates) { translatesAutoresizing_ = translates; }
  void addConstraint(NSLayoutConstraint* constraint);
  const std::vector<Retained<NSLayoutConstraint>>& constraints() const { return constraints_; }
  /// Places the subviews by this view's constraints. A conflicting or
  /// ambiguous set is reported on standard error and layout still completes.
  void layoutIfNeeded();
  /// The size the content needs; negative where it has no size of its own.
  virtual CGSize intrinsicContentSize() const { return {-1, -1}; }
  /// The view's layer, made with the view's first need of it.
  CALayer* layer() const;
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }

  /// The properties `inspect` shows beside class and frame, as name and text.
  using Properties = std::vector<std::pair<std::string, std::string>>;
  virtual Properties inspectedProperties() const;

 protected:
  CGRect frame_{};
  CGFloat alpha_ = 1;
  struct AlphaAnimation {
    CGFloat from = 1, to = 1;
    double start = 0, duration = 0;
  } alphaAnimation_;
  Retained<UIColor> backgroundColor_;
  UIView* superview_ = nullptr;
  std::vector<Retained<UIView>> subviews_;
  bool translatesAutoresizing_ = true;
  bool clipsToBounds_ = false;
  mutable Retained<CALayer> layer_;
  std::vector<Retained<NSLayoutConstraint>> constraints_;
};
