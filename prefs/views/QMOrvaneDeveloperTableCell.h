#pragma once

#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIKit.h"

/// A maker's row: portrait at the left, name, second name and job stacked to
/// its right.
///
/// Specifier keys read (all optional): "devName", "realName", "job", and
/// "devImage", the base name of a "png" resource of the bundle. The row needs
/// a "height" of at least 85 points; 110 fits.
class QMOrvaneDeveloperTableCell : public PSTableCell {
 public:
  static Class class_();

  QMOrvaneDeveloperTableCell* initWithStyle_reuseIdentifier_specifier(UITableViewCellStyle style, NSString* identifier,
                                                                      PSSpecifier* specifier);
  QMOrvaneDeveloperTableCell* initWithDevName_realName_jobSubtitle_devImage(NSString* name, NSString* realName,
                                                                            NSString* job, UIImage* image);

  UIImageView* devImageView() const { return devImageView_.get(); }
  void setDevImageView(UIImageView* view) { devImageView_ = view; }
  UILabel* devNameLabel() const { return devNameLabel_.get(); }
  void setDevNameLabel(UILabel* label) { devNameLabel_ = label; }
  UILabel* realNameLabel() const { return realNameLabel_.get(); }
  void setRealNameLabel(UILabel* label) { realNameLabel_ = label; }
  UILabel* jobLabel() const { return jobLabel_.get(); }
  void setJobLabel(UILabel* label) { jobLabel_ = label; }

 private:
  Retained<UIImageView> devImageView_;
  Retained<UILabel> devNameLabel_, realNameLabel_, jobLabel_;
};
