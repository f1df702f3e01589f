#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIKitTypes.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

class NSIndexPath : public NSObject {
 public:
  static Class class_();
  static Retained<NSIndexPath> indexPathForRow_inSection(long row, long section);
  long row() const { return row_; }
  long section() const { return section_; }
  std::string description() const override;

 private:
  long row_ = 0, section_ = 0;
};

class UITableViewCell : public UIView {
 public:
  static Class class_();

  UITableViewCell* initWithStyle_reuseIdentifier(UITableViewCellStyle style, NSString* reuseIdentifier);

  NSString* reuseIdentifier() const { return reuseIdentifier_.get(); }
  /// The row's title, made on first use.
  UILabel* textLabel();
  UILabel* detailTextLabel();
  UIView* accessoryView() const { return accessoryView_.get(); }
  void setAccessoryView(UIView* view);
  UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
  void setAccessoryType(UITableViewCellAccessoryType type) { accessoryType_ = type; }
  /// Places the title, the detail and the accessory view for the cell's width and height.
  void layoutStandardViews();

  Properties inspectedProperties() const override;

 protected:
  Retained<NSString> reuseIdentifier_;
  Retained<UILabel> textLabel_;
  Retained<UILabel> detailTextLabel_;
  Retained<UIView> accessoryView_;
  UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryNone;
  UITableViewCellStyle style_ = UITableViewCellStyleDefault;
};

/// A table that asks its data source and delegate (the controller) for its
/// sections, rows, cells and headers, through the runtime.
class UITableView : public UIView {
 public:
  static constexpr CGFloat automaticDimension = -1;

  static Class class_();
  static Retained<UITableView> tableWithFrame(CGRect frame);

  /// How far the groups stand in from the table's sides, as the system draws
  /// grouped tables: rounded inset groups before iOS 7 and from iOS 13 on,
  /// edge to edge in between (0).
  static CGFloat groupInset();

  void setDataSource(NSObject* source) { dataSource_ = source; }
  NSObject* dataSource() const { return dataSource_; }

  struct Section {
    Retained<NSString> header, footer;
    Retained<UIView> headerView;
    CGFloat headerHeight = automaticDimension;
    std::vector<Retained<UITableViewCell>> cells;
    /// Where the header and the footer lie, in the table's coordinates, after loading.
    CGRect headerFrame, footerFrame;
  };
  /// Asks the data source afresh; cells of the previous load become reusable.
  void reloadData();
  const std::vector<Section>& sections() const { return sections_; }
  UITableViewCell* cellForRowAtIndexPath(long section, long row) const;
  /// A cell of an earlier load with this identifier, or nil.
  Retained<UITableViewCell> dequeueReusableCellWithIdentifier(NSString* identifier);

 private:
  NSObject* dataSource_ = nullptr;
  std::vector<Section> sections_;
  std::multimap<std::string, Retained<UITableViewCell>> reusable_;
};
