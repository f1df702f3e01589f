#pragma once

#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIKit.h"

/// The footer logo with a soft shadow, centred; used as a plain view, the
/// header of the root page's fifth group. It reads no specifier.
class QMOrvaneLogoTableCell : public PSTableCell {
 public:
  static Class class_();

  QMOrvaneLogoTableCell* init();
  /// Owning: kept as an associated object, released with the cell.
  UIImageView* logoImageView();
  void setLogoImageView(UIImageView* view);
};

namespace orvane {
/// The shadow of the bundle's images: black, offset (0, 1), opacity 0.2, radius 1, not clipped.
void giveImageShadow(UIView* view);
}  // namespace orvane
