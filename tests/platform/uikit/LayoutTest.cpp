#include <gtest/gtest.h>

#include <fmt/format.h>

#include "platform/uikit/UIKit.h"

namespace {

/// A view with a natural size of its own, as a label or an image view has.
class SizedView : public UIView {
 public:
  static Class class_() { return objc_registerCppClass<SizedView>("SizedView", UIView::class_()); }
  static Retained<SizedView> sized(CGFloat width, CGFloat height) {
    auto view = objc::alloc<SizedView>();
    view->natural_ = {width, height};
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    return view;
  }
  CGSize intrinsicContentSize() const override { return natural_; }

 private:
  CGSize natural_{-1, -1};
};

void pin(UIView* holder, UIView* item, NSLayoutAttribute attribute, UIView* to, NSLayoutAttribute toAttribute,
         CGFloat multiplier, CGFloat constant) {
  holder->addConstraint(NSLayoutConstraint::constraintWithItem_attribute_relatedBy_toItem_attribute_multiplier_constant(
      item, attribute, NSLayoutRelationEqual, to, toAttribute, multiplier, constant).get());
}

}  // namespace

TEST(Layout, StackedLinesAreCentredAndSpacedAtEveryWidth) {
  for (CGFloat width : {320.0, 375.0, 768.0}) {
    auto header = UIView::viewWithFrame(UIView::class_(), CGRectMake(0, 0, width, 140));
    auto title = SizedView::sized(120, 43), subtitle = SizedView::sized(260, 20.5), line = SizedView::sized(90, 18);
    for (UIView* view : {title.get(), subtitle.get(), line.get()}) header->addSubview(view);
    pin(header.get(), title.get(), NSLayoutAttributeTop, header.get(), NSLayoutAttributeBottom, 0.2, 0);
    pin(header.get(), title.get(), NSLayoutAttributeCenterX, header.get(), NSLayoutAttributeCenterX, 1, 0);
    pin(header.get(), subtitle.get(), NSLayoutAttributeTop, title.get(), NSLayoutAttributeBottom, 1, 5);
    pin(header.get(), subtitle.get(), NSLayoutAttributeCenterX, header.get(), NSLayoutAttributeCenterX, 1, 0);
    pin(header.get(), line.get(), NSLayoutAttributeTop, subtitle.get(), NSLayoutAttributeBottom, 1, 5);
    pin(header.get(), line.get(), NSLayoutAttributeCenterX, header.get(), NSLayoutAttributeCenterX, 1, 0);
    testing::internal::CaptureStderr();
    header->layoutIfNeeded();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a complete, consistent set";
    EXPECT_EQ(title->frame(), CGRectMake((width - 120) / 2, 28, 120, 43));
    EXPECT_EQ(subtitle->frame(), CGRectMake((width - 260) / 2, 76, 260, 20.5));
    EXPECT_EQ(line->frame(), CGRectMake((width - 90) / 2, 101.5, 90, 18));
  }
}

TEST(Layout, AViewThatKeepsItsFrameStaysAndOthersFollowIt) {
  auto cell = UIView::viewWithFrame(UIView::class_(), CGRectMake(0, 0, 320, 110));
  auto portrait = UIView::viewWithFrame(UIView::class_(), CGRectMake(10, 15, 70, 70));
  auto name = SizedView::sized(100, 24);
  cell->addSubview(portrait.get());
  cell->addSubview(name.get());
  pin(cell.get(), name.get(), NSLayoutAttributeLeft, portrait.get(), NSLayoutAttributeRight, 1, 30);
  pin(cell.get(), name.get(), NSLayoutAttributeCenterY, cell.get(), NSLayoutAttributeCenterY, 1, -20);
  cell->layoutIfNeeded();
  EXPECT_EQ(portrait->frame(), CGRectMake(10, 15, 70, 70));
  EXPECT_EQ(name->frame(), CGRectMake(110, 23, 100, 24));
}

TEST(Layout, ConflictsAndGapsAreReportedAndLayoutStillCompletes) {
  auto holder = UIView::viewWithFrame(UIView::class_(), CGRectMake(0, 0, 200, 100));
  auto box = SizedView::sized(-1, -1);
  auto placed = SizedView::sized(-1, -1);
  placed->setFrame(CGRectMake(1, 2, 3, 4));
  holder->addSubview(box.get());
  holder->addSubview(placed.get());
  pin(holder.get(), placed.get(), NSLayoutAttributeLeft, holder.get(), NSLayoutAttributeLeft, 1, 9);
  pin(holder.get(), box.get(), NSLayoutAttributeWidth, nullptr, NSLayoutAttributeNotAnAttribute, 1, 50);
  pin(holder.get(), box.get(), NSLayoutAttributeWidth, nullptr, NSLayoutAttributeNotAnAttribute, 1, 60);
  pin(holder.get(), box.get(), NSLayoutAttributeLeft, holder.get(), NSLayoutAttributeLeft, 1, 8);
  testing::internal::CaptureStderr();
  holder->layoutIfNeeded();
  std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find("Unable to simultaneously satisfy constraints: dropping SizedView"), std::string::npos) << report;
  EXPECT_NE(report.find("the y of SizedView"), std::string::npos) << report;
  EXPECT_NE(report.find("the height of SizedView"), std::string::npos) << report;
  EXPECT_EQ(box->frame(), CGRectMake(8, 0, 50, 0)) << "open parts keep their values";
  EXPECT_EQ(placed->frame(), CGRectMake(9, 2, 3, 4));
  EXPECT_EQ(report.find("SizedView:" + fmt::format("{}", static_cast<void*>(placed.get()))), std::string::npos)
      << "a view with a frame of its own keeps it without a word";
}
