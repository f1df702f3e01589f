#include "sim/settings/PageSnapshot.h"

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/objc/Methods.h"
#include "sim/settings/Navigation.h"

namespace settings {
namespace {

std::optional<std::string> optionalText(const NSString* string) {
  return string ? std::optional<std::string>(string->utf8()) : std::nullopt;
}

RowSnapshot snapshotRow(PSSpecifier* specifier, UITableViewCell* cell) {
  RowSnapshot row;
  PSCellType type = specifier->cellType();
  row.label = specifier->name() ? specifier->name()->utf8() : "";
  row.kind = rowKind(type);
  row.key = optionalText(objc_cast<NSString>(specifier->propertyForKey("key")));
  if (type == PSSwitchCell) {
    auto* control = cell ? objc_cast<UISwitch>(cell->accessoryView()) : nullptr;
    row.value = control && control->isOn();
  } else if (type == PSLinkListCell) {
    if (NSString* detail = cell ? cell->detailTextLabel()->text() : nullptr) row.value = detail->utf8();
  } else if (type == PSListItemCell) {
    row.value = cell && cell->accessoryType() == UITableViewCellAccessoryCheckmark;
  }
  if (type == PSLinkCell || type == PSLinkListCell) {
    auto* detail = objc_cast<NSString>(specifier->propertyForKey("detail"));
    row.opens = detail ? detail->utf8() : std::string(type == PSLinkListCell ? "PSListItemsController" : "");
  }
  if (!cell) return row;
  row.cellClass = object_getClassName(cell);
  if (specifier->propertyForKey("cellClass")) {
    // A cell of its own shows what its views hold: its lines and pictures.
    row.lines.emplace();
    for (auto& view : cell->subviews()) {
      if (auto* line = objc_cast<UILabel>(view.get()); line && line->text()) row.lines->push_back(line->text()->utf8());
      if (auto* picture = objc_cast<UIImageView>(view.get()))
        row.picture = RowSnapshot::Picture{picture->image() ? std::optional<std::string>(picture->image()->file()) : std::nullopt};
    }
  }
  return row;
}

}  // namespace

std::string rowKind(PSCellType type) {
  switch (type) {
    case PSSwitchCell: return "switch";
    case PSLinkCell: return "link";
    case PSLinkListCell: return "list";
    case PSListItemCell: return "choice";
    case PSButtonCell: return "button";
    case PSStaticTextCell: return "text";
    case PSTitleValueCell: return "value";
    default: return "row";
  }
}

PageSnapshot snapshotPage(PSListController& page) {
  page.view();
  UITableView* table = page.table();
  if (table) table->reloadData();
  PageSnapshot snapshot;
  snapshot.title = optionalText(page.title() ? page.title() : page.navigationItem()->title());
  snapshot.className = object_getClassName(&page);
  auto grouped = page.groups();
  for (std::size_t section = 0; section < grouped.size(); ++section) {
    GroupSnapshot group;
    const UITableView::Section* shown = table && section < table->sections().size() ? &table->sections()[section] : nullptr;
    if (shown) {
      group.header = optionalText(shown->header.get());
      group.footer = optionalText(shown->footer.get());
    }
    for (std::size_t index = 0; index < grouped[section].rows.size(); ++index) {
      UITableViewCell* cell =
          table ? table->cellForRowAtIndexPath(static_cast<long>(section), static_cast<long>(index)) : nullptr;
      group.rows.push_back(snapshotRow(grouped[section].rows[index], cell));
    }
    snapshot.groups.push_back(std::move(group));
  }
  return snapshot;
}

ViewSnapshot snapshotView(UIView& view) {
  ViewSnapshot snapshot;
  snapshot.className = object_getClassName(&view);
  snapshot.frame = view.frame();
  snapshot.properties = view.inspectedProperties();
  for (auto& subview : view.subviews()) snapshot.subviews.push_back(snapshotView(*subview));
  return snapshot;
}

InspectionSnapshot snapshotInspection(const Navigation& navigation) {
  InspectionSnapshot snapshot;
  PSListController* page = navigation.page();
  if (!page) return snapshot;
  page->view();
  if (page->table()) page->table()->reloadData();
  snapshot.pageClass = object_getClassName(page);
  if (auto* button = objc_cast<UIBarButtonItem>(page->navigationItem()->rightBarButtonItem()))
    snapshot.rightBarButtonItem = button->description();
  if (UIView* titleView = page->navigationItem()->titleView()) snapshot.titleView = snapshotView(*titleView);
  snapshot.statusBarStyle = UIApplication::sharedApplication()->statusBarStyle();
  snapshot.coreFoundationVersion = kCFCoreFoundationVersionNumber;
  for (auto& [owner, controller] : navigation.navigationControllers())
    snapshot.navigationBars.push_back({owner, snapshotView(*controller->navigationBar())});
  snapshot.view = snapshotView(*page->view());
  return snapshot;
}

}  // namespace settings
