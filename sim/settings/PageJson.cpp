#include "sim/settings/PageJson.h"

namespace settings {
namespace {

template <class T>
nlohmann::json orNull(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json toJson(const RowSnapshot& row) {
  nlohmann::json json;
  json["label"] = row.label;
  json["kind"] = row.kind;
  json["key"] = orNull(row.key);
  json["value"] = std::visit(
      [](auto& value) {
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::monostate>) return nlohmann::json(nullptr);
        else return nlohmann::json(value);
      },
      row.value);
  if (row.opens) json["opens"] = *row.opens;
  if (row.cellClass) json["cell"] = *row.cellClass;
  if (row.lines) json["lines"] = *row.lines;
  if (row.picture) json["image"] = orNull(row.picture->file);
  return json;
}

}  // namespace

nlohmann::json toJson(const PageSnapshot& page) {
  nlohmann::json json;
  json["title"] = orNull(page.title);
  json["class"] = page.className;
  json["groups"] = nlohmann::json::array();
  for (auto& group : page.groups) {
    nlohmann::json rows = nlohmann::json::array();
    for (auto& row : group.rows) rows.push_back(toJson(row));
    json["groups"].push_back({{"header", orNull(group.header)}, {"footer", orNull(group.footer)}, {"rows", rows}});
  }
  return json;
}

nlohmann::json toJson(const ViewSnapshot& view) {
  nlohmann::json json;
  json["class"] = view.className;
  json["frame"] = {view.frame.origin.x, view.frame.origin.y, view.frame.size.width, view.frame.size.height};
  json["properties"] = nlohmann::json::object();
  for (auto& [name, value] : view.properties) json["properties"][name] = value;
  json["subviews"] = nlohmann::json::array();
  for (auto& subview : view.subviews) json["subviews"].push_back(toJson(subview));
  return json;
}

nlohmann::json toJson(const InspectionSnapshot& inspection) {
  nlohmann::json json;
  json["page"] = inspection.pageClass;
  if (inspection.rightBarButtonItem) json["rightBarButtonItem"] = *inspection.rightBarButtonItem;
  if (inspection.titleView) json["titleView"] = toJson(*inspection.titleView);
  json["statusBarStyle"] = inspection.statusBarStyle;
  json["coreFoundationVersion"] = inspection.coreFoundationVersion;
  json["navigationBars"] = nlohmann::json::array();
  for (auto& bar : inspection.navigationBars) {
    nlohmann::json shown = toJson(bar.bar);
    shown["owner"] = bar.owner;
    json["navigationBars"].push_back(shown);
  }
  json["view"] = toJson(inspection.view);
  return json;
}

std::string jsonText(const nlohmann::json& value) {
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace settings
