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

  // Owning: kept as associated objects, released with the cell.
  UIImageView* devImageView();
  void setDevImageView(UIImageView* view);
  UILabel* devNameLabel();
  void setDevNameLabel(UILabel* label);
  UILabel* realNameLabel();
  void setRealNameLabel(UILabel* label);
  UILabel* jobLabel();
  void setJobLabel(UILabel* label);
};
