#include "platform/uikit/UITableView.h"

#include <fmt/format.h>

#include <algorithm>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/objc/Methods.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"

Class NSIndexPath::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSIndexPath>("NSIndexPath", NSObject::class_());
    objc::addClassFunction(registered, "indexPathForRow:inSection:", +[](Class, SEL, long row, long section) {
      return NSIndexPath::indexPathForRow_inSection(row, section).autorelease();
    });
    objc::addMethod<&NSIndexPath::row>(registered, "row");
    objc::addMethod<&NSIndexPath::section>(registered, "section");
    return registered;
  }();
  return cls;
}

Retained<NSIndexPath> NSIndexPath::indexPathForRow_inSection(long row, long section) {
  auto path = objc::alloc<NSIndexPath>();
  path->row_ = row;
  path->section_ = section;
  return path;
}

std::string NSIndexPath::description() const { return fmt::format("<NSIndexPath: {{{}, {}}}>", section_, row_); }

Class UITableViewCell::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UITableViewCell>("UITableViewCell", UIView::class_());
    objc::addMethod<&UITableViewCell::initWithStyle_reuseIdentifier>(registered, "initWithStyle:reuseIdentifier:");
    objc::addMethod<&UITableViewCell::reuseIdentifier>(registered, "reuseIdentifier");
    objc::addMethod<&UITableViewCell::textLabel>(registered, "textLabel");
    objc::addMethod<&UITableViewCell::detailTextLabel>(registered, "detailTextLabel");
    objc::addMethod<&UITableViewCell::accessoryView>(registered, "accessoryView");
    objc::addMethod<&UITableViewCell::setAccessoryView>(registered, "setAccessoryView:");
    objc::addMethod<&UITableViewCell::accessoryType>(registered, "accessoryType");
    objc::addMethod<&UITableViewCell::setAccessoryType>(registered, "setAccessoryType:");
    return registered;
  }();
  return cls;
}

UITableViewCell* UITableViewCell::initWithStyle_reuseIdentifier(UITableViewCellStyle style, NSString* reuseIdentifier) {
  initWithFrame(CGRectMake(0, 0, 320, 44));
  style_ = style;
  reuseIdentifier_ = objc::retain(reuseIdentifier);
  return this;
}

UILabel* UITableViewCell::textLabel() {
  if (!textLabel_) {
    textLabel_ = UILabel::label();
    textLabel_->setFrame(CGRectMake(15, 0, 200, 44));
    addSubview(textLabel_.get());
  }
  return textLabel_.get();
}

UILabel* UITableViewCell::detailTextLabel() {
  if (!detailTextLabel_) {
    detailTextLabel_ = UILabel::label();
    detailTextLabel_->setTextColor(UIColor::colorWithRed_green_blue_alpha(142 / 255.0, 142 / 255.0, 147 / 255.0, 1).get());
    detailTextLabel_->setTextAlignment(NSTextAlignmentRight);
    detailTextLabel_->setFrame(CGRectMake(200, 0, 105, 44));
    addSubview(detailTextLabel_.get());
  }
  return detailTextLabel_.get();
}

void UITableViewCell::layoutStandardViews() {
  CGFloat width = frame_.size.width, height = frame_.size.height;
  // The texts end before the accessory: a view of its own, or a chevron or check.
  CGFloat end = width - (accessoryType_ == UITableViewCellAccessoryNone ? 15 : 35);
  if (accessoryView_) {
    CGSize size = accessoryView_->frame().size;
    accessoryView_->setFrame(CGRectMake(width - 14 - size.width, (height - size.height) / 2, size.width, size.height));
    end = width - 14 - size.width - 8;
  }
  CGFloat titleEnd = end;
  if (detailTextLabel_ && detailTextLabel_->text() && !detailTextLabel_->text()->utf8().empty()) {
    // As the platform's value style: the title keeps its width, the detail the rest at the right.
    CGFloat titleWidth = textLabel_ ? std::max<CGFloat>(0, textLabel_->intrinsicContentSize().width) : 0;
    CGFloat detailWidth = detailTextLabel_->intrinsicContentSize().width;
    CGFloat x = std::min(end, std::max(15 + titleWidth + 10, end - detailWidth));
    detailTextLabel_->setFrame(CGRectMake(x, 0, end - x, height));
    titleEnd = std::min(end, 15 + titleWidth);
  } else if (detailTextLabel_) {
    detailTextLabel_->setFrame(CGRectMake(end, 0, 0, height));
  }
  if (textLabel_) textLabel_->setFrame(CGRectMake(15, 0, std::max<CGFloat>(0, titleEnd - 15), height));
}

void UITableViewCell::setAccessoryView(UIView* view) {
  if (accessoryView_) accessoryView_->removeFromSuperview();
  accessoryView_ = objc::retain(view);
  if (view) {
    view->setFrame(CGRectMake(255, 6, 51, 31));
    addSubview(view);
  }
}

UITableViewCell::Properties UITableViewCell::inspectedProperties() const {
  Properties properties = UIView::inspectedProperties();
  if (accessoryType_ == UITableViewCellAccessoryCheckmark) properties.emplace_back("accessory", "checkmark");
  if (accessoryType_ == UITableViewCellAccessoryDisclosureIndicator) properties.emplace_back("accessory", "disclosure");
  return properties;
}

Class UITableView::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UITableView>("UITableView", UIView::class_());
    objc::addMethod<&UITableView::dataSource>(registered, "dataSource");
    objc::addMethod<&UITableView::setDataSource>(registered, "setDataSource:");
    objc::addMethod<&UITableView::reloadData>(registered, "reloadData");
    objc::addFunction(registered, "dequeueReusableCellWithIdentifier:", +[](UITableView* self, SEL, NSString* identifier) {
      return self->dequeueReusableCellWithIdentifier(identifier).autorelease();
    });
    return registered;
  }();
  return cls;
}

Retained<UITableView> UITableView::tableWithFrame(CGRect frame) {
  auto table = objc::alloc<UITableView>();
  table->setFrame(frame);
  return table;
}

CGFloat UITableView::groupInset() {
  constexpr double iOS7 = 847.20, iOS13 = 1665.15;
  if (kCFCoreFoundationVersionNumber >= iOS7 && kCFCoreFoundationVersionNumber < iOS13) return 0;
  bool pad = uikit::screenSize().width >= 768;
  if (kCFCoreFoundationVersionNumber < iOS7) return pad ? 45 : 10;
  return pad ? 20 : 16;
}

void UITableView::reloadData() {
  for (auto& section : sections_) {
    if (section.headerView) section.headerView->removeFromSuperview();
    for (auto& cell : section.cells) {
      cell->removeFromSuperview();
      std::string identifier = cell->reuseIdentifier() ? cell->reuseIdentifier()->utf8() : "";
      reusable_.emplace(identifier, cell);
    }
  }
  sections_.clear();
  if (!dataSource_) return;
  auto answers = [&](const char* selector) { return dataSource_->respondsToSelector(sel_registerName(selector)); };
  long count = answers("numberOfSectionsInTableView:") ? objc::send<long>(dataSource_, "numberOfSectionsInTableView:", this) : 1;
  CGFloat y = 0, inset = groupInset();
  for (long index = 0; index < count; ++index) {
    Section section;
    if (answers("tableView:titleForHeaderInSection:"))
      section.header = objc::retain(objc::send<NSString*>(dataSource_, "tableView:titleForHeaderInSection:", this, index));
    if (answers("tableView:titleForFooterInSection:"))
      section.footer = objc::retain(objc::send<NSString*>(dataSource_, "tableView:titleForFooterInSection:", this, index));
    if (answers("tableView:viewForHeaderInSection:"))
      section.headerView = objc::retain(objc::send<UIView*>(dataSource_, "tableView:viewForHeaderInSection:", this, index));
    if (answers("tableView:heightForHeaderInSection:"))
      section.headerHeight = objc::send<CGFloat>(dataSource_, "tableView:heightForHeaderInSection:", this, index);
    CGFloat headerHeight = section.headerHeight == automaticDimension ? (section.header ? 38 : 18) : section.headerHeight;
    section.headerFrame = CGRectMake(0, y, frame_.size.width, headerHeight);
    if (section.headerView) {
      section.headerView->setFrame(section.headerFrame);
      addSubview(section.headerView.get());
      section.headerView->layoutIfNeeded();
    }
    y += headerHeight;
    long rows = objc::send<long>(dataSource_, "tableView:numberOfRowsInSection:", this, index);
    for (long row = 0; row < rows; ++row) {
      auto path = NSIndexPath::indexPathForRow_inSection(row, index);
      auto* cell = objc::send<UITableViewCell*>(dataSource_, "tableView:cellForRowAtIndexPath:", this, path.get());
      if (!cell) continue;
      CGRect cellFrame = cell->frame();
      cell->setFrame(CGRectMake(inset, y, frame_.size.width - 2 * inset, cellFrame.size.height > 0 ? cellFrame.size.height : 44));
      cell->layoutStandardViews();
      cell->layoutIfNeeded();
      y += cell->frame().size.height;
      section.cells.push_back(Retained<UITableViewCell>::retain(cell));
      addSubview(cell);
    }
    // A footer takes the lines its text needs, set as the grouped table sets it (13 points, 15 in from each side).
    CGFloat footerHeight = 18;
    if (section.footer)
      footerHeight = std::max<CGFloat>(38, 7 + UIFont::systemFontOfSize(13)->heightOfText(
                                                    section.footer->utf8(), frame_.size.width - 2 * inset - 30) + 10);
    section.footerFrame = CGRectMake(0, y, frame_.size.width, footerHeight);
    y += section.footerFrame.size.height;
    sections_.push_back(std::move(section));
  }
}

UITableViewCell* UITableView::cellForRowAtIndexPath(long section, long row) const {
  if (section < 0 || row < 0 || static_cast<std::size_t>(section) >= sections_.size()) return nullptr;
  auto& cells = sections_[static_cast<std::size_t>(section)].cells;
  return static_cast<std::size_t>(row) < cells.size() ? cells[static_cast<std::size_t>(row)].get() : nullptr;
}

Retained<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(NSString* identifier) {
  auto found = reusable_.find(identifier ? identifier->utf8() : "");
  if (found == reusable_.end()) return nullptr;
  Retained<UITableViewCell> cell = found->second;
  reusable_.erase(found);
  return cell;
}

namespace {
[[maybe_unused]] const Class registeredIndexPath = NSIndexPath::class_();
[[maybe_unused]] const Class registeredCell = UITableViewCell::class_();
[[maybe_unused]] const Class registeredTable = UITableView::class_();
}
