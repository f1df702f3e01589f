#pragma once

#include <string>

#include "platform/coregraphics/CGGeometry.h"
#include "platform/foundation/NSString.h"

/// A font by the platform's name ("HelveticaNeue-Light", "Helvetica Light").
/// Where the machine lacks the family, text is set in the closest one it has;
/// `faceName` tells which.
typedef struct _PangoFontDescription PangoFontDescription;

class UIFont : public NSObject {
 public:
  static Class class_();
  static Retained<UIFont> fontWithName_size(NSString* name, CGFloat size);
  static Retained<UIFont> systemFontOfSize(CGFloat size);

  const std::string& fontName() const { return name_; }
  CGFloat pointSize() const { return size_; }
  /// The family and style actually used to set text, as the machine's fonts have it.
  std::string faceName() const;
  /// A new Pango description of the face text is set in (freed with pango_font_description_free),
  /// its size absolute in points.
  PangoFontDescription* newPangoDescription() const;
  /// The height of `text` in this font, wrapped at `width` points.
  CGFloat heightOfText(const std::string& text, CGFloat width) const;
  /// The size of one line of text in this font, in points.
  CGSize sizeOfLine(const std::string& text) const;

  std::string description() const override;

 private:
  std::string name_;
  /// The name as given, for "fontName", which hands out the font's own string.
  Retained<NSString> nameObject_;
  CGFloat size_ = 12;
};
