#include "sim/settings/PageText.h"

#include <fmt/format.h>

namespace settings {
namespace {

std::string valueText(const RowSnapshot& row) {
  if (auto* on = std::get_if<bool>(&row.value)) return row.kind == "choice" ? (*on ? "✓" : "") : (*on ? "on" : "off");
  if (auto* text = std::get_if<std::string>(&row.value)) return *text;
  return "";
}

void viewText(const ViewSnapshot& view, int depth, std::string& out) {
  out += fmt::format("{:{}}{} {{{{{}, {}}}, {{{}, {}}}}}", "", depth * 2, view.className, view.frame.origin.x,
                     view.frame.origin.y, view.frame.size.width, view.frame.size.height);
  for (auto& [name, value] : view.properties) out += fmt::format(" {}={}", name, value);
  out += "\n";
  for (auto& subview : view.subviews) viewText(subview, depth + 1, out);
}

}  // namespace

std::string toText(const PageSnapshot& page) {
  std::string out = fmt::format("{} ({})\n", page.title.value_or("(no title)"), page.className);
  for (auto& group : page.groups) {
    out += "\n";
    if (group.header) out += "  " + *group.header + "\n";
    for (auto& row : group.rows) {
      out += fmt::format("    {:<32} {:<7} {}", row.label, row.kind, valueText(row));
      if (row.opens) out += " → " + *row.opens;
      out += "\n";
      if (row.lines)
        for (auto& line : *row.lines) out += "        | " + line + "\n";
      if (row.picture) out += "        picture: " + row.picture->file.value_or("(none)") + "\n";
    }
    if (group.footer) out += "  " + *group.footer + "\n";
  }
  return out;
}

std::string toText(const InspectionSnapshot& inspection) {
  std::string out = fmt::format("page {}  statusBarStyle={}  CoreFoundation {}\n", inspection.pageClass,
                                inspection.statusBarStyle, inspection.coreFoundationVersion);
  if (inspection.rightBarButtonItem) out += "right bar button: " + *inspection.rightBarButtonItem + "\n";
  if (inspection.titleView) {
    out += "title view:\n";
    viewText(*inspection.titleView, 1, out);
  }
  for (auto& bar : inspection.navigationBars) {
    out += fmt::format("navigation bar of {}:", bar.owner);
    for (auto& [name, value] : bar.bar.properties) out += fmt::format(" {}={}", name, value);
    out += "\n";
  }
  viewText(inspection.view, 0, out);
  return out;
}

}  // namespace settings
