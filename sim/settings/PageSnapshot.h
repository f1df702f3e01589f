#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/coregraphics/CGGeometry.h"
#include "platform/preferences/PSListController.h"

// What a page shows, taken in one walk of it into plain data that the JSON and
// the text output both render: nothing here points back into the page.

namespace settings {

class Navigation;

struct RowSnapshot {
  std::string label;
  /// "switch", "link", "list", "choice", "button", "text", "value" or "row".
  std::string kind;
  std::optional<std::string> key;
  /// A switch's state, a list row's shown choice, whether a choice is checked.
  std::variant<std::monostate, bool, std::string> value;
  /// For link and list rows: the class of the page the row opens.
  std::optional<std::string> opens;
  /// The class of the row's cell, where the table made one.
  std::optional<std::string> cellClass;
  /// For a cell of the bundle's own class: the texts of its labels.
  std::optional<std::vector<std::string>> lines;
  /// For such a cell with a picture: the picture's file (none without an image).
  struct Picture {
    std::optional<std::string> file;
  };
  std::optional<Picture> picture;
};

struct GroupSnapshot {
  std::optional<std::string> header;
  std::optional<std::string> footer;
  std::vector<RowSnapshot> rows;
};

struct PageSnapshot {
  std::optional<std::string> title;
  std::string className;
  std::vector<GroupSnapshot> groups;
};

/// A view and its subviews, as `inspect` shows them.
struct ViewSnapshot {
  std::string className;
  CGRect frame{};
  std::vector<std::pair<std::string, std::string>> properties;
  std::vector<ViewSnapshot> subviews;
};

struct InspectionSnapshot {
  std::string pageClass;
  std::optional<std::string> rightBarButtonItem;
  std::optional<ViewSnapshot> titleView;
  long statusBarStyle = 0;
  double coreFoundationVersion = 0;
  struct Bar {
    std::string owner;
    ViewSnapshot bar;
  };
  std::vector<Bar> navigationBars;
  ViewSnapshot view;
};

/// The kind of row a cell type makes, as the outputs name it.
std::string rowKind(PSCellType type);

/// Loads the page's view and table afresh and takes what its rows show.
PageSnapshot snapshotPage(PSListController& page);
ViewSnapshot snapshotView(UIView& view);
/// The page on top of the navigation with its bars and views.
InspectionSnapshot snapshotInspection(const Navigation& navigation);

}  // namespace settings
