#include "sim/settings/SettingsApp.h"

#include <dlfcn.h>
#include <fmt/format.h>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/device/PreferencesChange.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/objc/Methods.h"
#include "platform/social/SLComposeViewController.h"

namespace {

constexpr double nestedBarsFirst = 1140.1;
constexpr double nestedBarsLast = 1141.18;

std::string text(const NSString* string) { return string ? string->utf8() : ""; }

std::string kindOf(PSCellType type) {
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

nlohmann::json viewTree(UIView* view) {
  nlohmann::json node;
  node["class"] = object_getClassName(view);
  CGRect frame = view->frame();
  node["frame"] = {frame.origin.x, frame.origin.y, frame.size.width, frame.size.height};
  nlohmann::json properties = nlohmann::json::object();
  for (auto& [name, value] : view->inspectedProperties()) properties[name] = value;
  node["properties"] = properties;
  nlohmann::json subviews = nlohmann::json::array();
  for (auto& subview : view->subviews()) subviews.push_back(viewTree(subview.get()));
  node["subviews"] = subviews;
  return node;
}

void treeText(const nlohmann::json& node, int depth, std::string& out) {
  auto& frame = node["frame"];
  out += fmt::format("{:{}}{} {{{{{}, {}}}, {{{}, {}}}}}", "", depth * 2, node["class"].get<std::string>(),
                     frame[0].get<double>(), frame[1].get<double>(), frame[2].get<double>(), frame[3].get<double>());
  for (auto& [name, value] : node["properties"].items()) out += fmt::format(" {}={}", name, value.get<std::string>());
  out += "\n";
  for (auto& child : node["subviews"]) treeText(child, depth + 1, out);
}

}  // namespace

std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> labels;
  std::size_t start = 0;
  while (start <= path.size() && !path.empty()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) labels.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return labels;
}

SettingsApp::SettingsApp(const std::string& entryName) {
  std::string entryPath = "/Library/PreferenceLoader/Preferences/" + entryName + ".plist";
  auto entryList = NSDictionary::dictionaryWithContentsOfFile(NSString::stringWithUTF8String(entryPath));
  auto* entry = entryList ? objc_cast<NSDictionary>(entryList->objectForKey("entry")) : nullptr;
  auto* bundleName = entry ? objc_cast<NSString>(entry->objectForKey("bundle")) : nullptr;
  if (!bundleName) {
    error_ = "no Settings entry at " + entryPath + " (a dictionary \"entry\" naming its \"bundle\")";
    return;
  }
  auto* label = objc_cast<NSString>(entry->objectForKey("label"));
  entryLabel_ = label ? label->utf8() : bundleName->utf8();
  std::string bundlePath = "/Library/PreferenceBundles/" + bundleName->utf8() + ".bundle";
  NSBundle* bundle = NSBundle::bundleWithPath(NSString::stringWithUTF8String(bundlePath));
  if (!bundle) {
    error_ = "the bundle " + bundlePath + " is missing";
    return;
  }
  auto* executable = objc_cast<NSString>(bundle->objectForInfoDictionaryKey("CFBundleExecutable"));
  std::string executablePath = bundlePath + "/" + (executable ? executable->utf8() : bundleName->utf8());
  if (!dlopen(device::hostPath(executablePath).c_str(), RTLD_NOW | RTLD_GLOBAL)) {
    const char* why = dlerror();
    error_ = "the bundle " + bundlePath + " failed to load: " + (why ? why : "unknown error");
    return;
  }
  auto* principal = objc_cast<NSString>(bundle->objectForInfoDictionaryKey("NSPrincipalClass"));
  if (!principal) {
    error_ = "the bundle " + bundlePath + " names no principal class (NSPrincipalClass in its Info.plist)";
    return;
  }
  Class pageClass = objc_getClass(principal->utf8().c_str());
  if (!pageClass || !class_isSubclassOf(pageClass, PSListController::class_())) {
    error_ = "the bundle " + bundlePath + " has no principal class " + principal->utf8() +
             (pageClass ? " that is a PSListController" : "");
    return;
  }

  auto settingsPage = UIViewController::controller(UIViewController::class_());
  settingsPage->setTitle(NSSTR("Settings"));
  application_ = UINavigationController::controllerWithRootViewController(settingsPage);
  application_->beginAppearanceTransition(true, false);
  application_->endAppearanceTransition(false);

  Retained<UIViewController> page = UIViewController::controller(pageClass);
  root_ = Retained<PSListController>(objc_cast<PSListController>(page.get()));
  root_->setBundle(bundle);
  double version = kCFCoreFoundationVersionNumber;
  if (version >= nestedBarsFirst && version <= nestedBarsLast) {
    nested_ = UINavigationController::controllerWithRootViewController(root_);
    application_->pushViewController_animated(nested_, true);
  } else {
    application_->pushViewController_animated(root_, true);
  }
}

SettingsApp::~SettingsApp() = default;

PSListController* SettingsApp::page() const {
  UINavigationController* navigation = nested_ ? nested_.get() : application_.get();
  return navigation ? objc_cast<PSListController>(navigation->topViewController()) : nullptr;
}

MFMailComposeViewController* SettingsApp::presentedMail() const {
  for (UIViewController* presenter : {static_cast<UIViewController*>(application_.get()),
                                      static_cast<UIViewController*>(nested_.get()), static_cast<UIViewController*>(page())})
    if (presenter)
      if (auto* mail = objc_cast<MFMailComposeViewController>(presenter->presentedViewController())) return mail;
  return nullptr;
}

SLComposeViewController* SettingsApp::presentedSheet() const {
  PSListController* current = page();
  return current ? objc_cast<SLComposeViewController>(current->presentedViewController()) : nullptr;
}

bool SettingsApp::share() {
  PSListController* current = page();
  auto* button = current ? objc_cast<UIBarButtonItem>(current->navigationItem()->rightBarButtonItem()) : nullptr;
  if (!button) {
    error_ = std::string("the page ") + (current ? object_getClassName(current) : "?") + " has no share button";
    return false;
  }
  button->tap();
  return true;
}

PSSpecifier* SettingsApp::findRow(PSListController* page, const std::string& label, std::vector<std::string>& labels) const {
  labels.clear();
  for (auto& group : page->groups())
    for (PSSpecifier* row : group.rows) {
      labels.push_back(text(row->name()));
      if (labels.back() == label) return row;
    }
  return nullptr;
}

bool SettingsApp::followTo(const std::vector<std::string>& labels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    PSListController* current = page();
    std::vector<std::string> here;
    PSSpecifier* row = current ? findRow(current, labels[i], here) : nullptr;
    if (!row) {
      std::string list;
      for (auto& name : here) list += (list.empty() ? "" : ", ") + ("\"" + name + "\"");
      std::string pageName = current && current->title() ? current->title()->utf8() : "";
      if (pageName.empty()) pageName = current ? object_getClassName(current) : "?";
      error_ = fmt::format("no row \"{}\" on the page \"{}\"; its rows: {}", labels[i], pageName,
                           list.empty() ? "none" : list);
      return false;
    }
    if (row->cellType() != PSLinkCell && row->cellType() != PSLinkListCell) {
      error_ = fmt::format("the row \"{}\" is a {} row and opens no page", labels[i], kindOf(row->cellType()));
      return false;
    }
    if (!current->selectRow(row)) {
      error_ = fmt::format("the row \"{}\" opens nothing: no page class {}", labels[i],
                           foundation::describe(row->propertyForKey("detail")));
      return false;
    }
  }
  return true;
}

bool SettingsApp::follow(const std::vector<std::string>& labels) { return followTo(labels, labels.size()); }

bool SettingsApp::set(const std::vector<std::string>& labels, const std::string& value) {
  device::PreferencesChange change;
  if (!setRow(labels, value)) return false;
  if (change.failures().empty()) return true;
  error_.clear();
  for (auto& failure : change.failures()) error_ += (error_.empty() ? "" : "; ") + failure;
  return false;
}

bool SettingsApp::setRow(const std::vector<std::string>& labels, const std::string& value) {
  if (labels.empty()) {
    error_ = "set needs the path of a row";
    return false;
  }
  if (!followTo(labels, labels.size() - 1)) return false;
  PSListController* current = page();
  std::vector<std::string> here;
  PSSpecifier* row = findRow(current, labels.back(), here);
  if (!row) return followTo(labels, labels.size());  // says which rows exist
  if (row->cellType() == PSSwitchCell) {
    bool on = value == "on" || value == "yes" || value == "true" || value == "1";
    bool off = value == "off" || value == "no" || value == "false" || value == "0";
    if (!on && !off) {
      error_ = "a switch is set \"on\" or \"off\", not \"" + value + "\"";
      return false;
    }
    current->setSwitch(row, on);
    return true;
  }
  if (row->cellType() == PSLinkListCell) {
    auto* choices = objc_cast<PSListItemsController>(current->selectRow(row));
    if (!choices) {
      error_ = "the row \"" + labels.back() + "\" opens no list of choices";
      return false;
    }
    if (!choices->pickTitle(value)) {
      std::string titles;
      for (auto& group : choices->groups())
        for (PSSpecifier* item : group.rows) titles += (titles.empty() ? "\"" : ", \"") + text(item->name()) + "\"";
      error_ = fmt::format("no choice \"{}\" for \"{}\"; its choices: {}", value, labels.back(),
                           titles.empty() ? "none" : titles);
      return false;
    }
    choices->navigationController()->popViewControllerAnimated(true);
    return true;
  }
  error_ = fmt::format("the row \"{}\" is a {} row; set takes a switch or a list row", labels.back(),
                       kindOf(row->cellType()));
  return false;
}

bool SettingsApp::tap(const std::vector<std::string>& labels) {
  if (labels.empty()) {
    error_ = "tap needs the path of a row";
    return false;
  }
  if (!followTo(labels, labels.size() - 1)) return false;
  PSListController* current = page();
  std::vector<std::string> here;
  PSSpecifier* row = findRow(current, labels.back(), here);
  if (!row || row->cellType() != PSButtonCell) return followTo({labels.back()}, 1);
  current->selectRow(row);
  return true;
}

nlohmann::json SettingsApp::show() const {
  PSListController* current = page();
  nlohmann::json result;
  if (!current) return result;
  current->view();
  UITableView* table = current->table();
  if (table) table->reloadData();
  NSString* title = current->title() ? current->title() : current->navigationItem()->title();
  result["title"] = title ? nlohmann::json(title->utf8()) : nlohmann::json(nullptr);
  result["class"] = object_getClassName(current);
  nlohmann::json groups = nlohmann::json::array();
  auto grouped = current->groups();
  for (std::size_t section = 0; section < grouped.size(); ++section) {
    nlohmann::json group;
    const UITableView::Section* shown =
        table && section < table->sections().size() ? &table->sections()[section] : nullptr;
    group["header"] = shown && shown->header ? nlohmann::json(shown->header->utf8()) : nlohmann::json(nullptr);
    group["footer"] = shown && shown->footer ? nlohmann::json(shown->footer->utf8()) : nlohmann::json(nullptr);
    nlohmann::json rows = nlohmann::json::array();
    for (std::size_t index = 0; index < grouped[section].rows.size(); ++index) {
      PSSpecifier* specifier = grouped[section].rows[index];
      UITableViewCell* cell = table ? table->cellForRowAtIndexPath(static_cast<long>(section), static_cast<long>(index)) : nullptr;
      nlohmann::json row;
      row["label"] = text(specifier->name());
      row["kind"] = kindOf(specifier->cellType());
      auto* key = objc_cast<NSString>(specifier->propertyForKey("key"));
      row["key"] = key ? nlohmann::json(key->utf8()) : nlohmann::json(nullptr);
      nlohmann::json value = nullptr;
      if (specifier->cellType() == PSSwitchCell) {
        auto* control = cell ? objc_cast<UISwitch>(cell->accessoryView()) : nullptr;
        value = control && control->isOn();
      } else if (specifier->cellType() == PSLinkListCell) {
        NSString* detail = cell ? cell->detailTextLabel()->text() : nullptr;
        if (detail) value = detail->utf8();
      } else if (specifier->cellType() == PSListItemCell) {
        value = cell && cell->accessoryType() == UITableViewCellAccessoryCheckmark;
      }
      row["value"] = value;
      if (specifier->cellType() == PSLinkCell || specifier->cellType() == PSLinkListCell) {
        auto* detail = objc_cast<NSString>(specifier->propertyForKey("detail"));
        row["opens"] = detail ? detail->utf8() : std::string(specifier->cellType() == PSLinkListCell ? "PSListItemsController" : "");
      }
      if (cell) row["cell"] = object_getClassName(cell);
      if (cell && specifier->propertyForKey("cellClass")) {
        // A cell of its own shows what its views hold: its lines and pictures.
        nlohmann::json lines = nlohmann::json::array();
        for (auto& view : cell->subviews()) {
          if (auto* line = objc_cast<UILabel>(view.get()); line && line->text()) lines.push_back(line->text()->utf8());
          if (auto* picture = objc_cast<UIImageView>(view.get()))
            row["image"] = picture->image() ? nlohmann::json(picture->image()->file()) : nlohmann::json(nullptr);
        }
        row["lines"] = lines;
      }
      rows.push_back(row);
    }
    group["rows"] = rows;
    groups.push_back(group);
  }
  result["groups"] = groups;
  return result;
}

nlohmann::json SettingsApp::inspect() const {
  nlohmann::json result;
  PSListController* current = page();
  if (!current) return result;
  current->view();
  if (current->table()) current->table()->reloadData();
  result["page"] = object_getClassName(current);
  if (auto* button = objc_cast<UIBarButtonItem>(current->navigationItem()->rightBarButtonItem()))
    result["rightBarButtonItem"] = button->description();
  if (UIView* titleView = current->navigationItem()->titleView()) result["titleView"] = viewTree(titleView);
  result["statusBarStyle"] = UIApplication::sharedApplication()->statusBarStyle();
  result["coreFoundationVersion"] = kCFCoreFoundationVersionNumber;
  nlohmann::json bars = nlohmann::json::array();
  auto addBar = [&](const char* owner, UINavigationController* navigation) {
    if (!navigation) return;
    nlohmann::json bar = viewTree(navigation->navigationBar());
    bar["owner"] = owner;
    bars.push_back(bar);
  };
  addBar("Settings", application_.get());
  addBar("nested", nested_.get());
  result["navigationBars"] = bars;
  result["view"] = viewTree(current->view());
  return result;
}

std::string SettingsApp::showText(const nlohmann::json& page) {
  std::string out = fmt::format("{} ({})\n", page["title"].is_null() ? "(no title)" : page["title"].get<std::string>(),
                                page["class"].get<std::string>());
  for (auto& group : page["groups"]) {
    out += "\n";
    if (!group["header"].is_null()) out += "  " + group["header"].get<std::string>() + "\n";
    for (auto& row : group["rows"]) {
      std::string value;
      if (row["value"].is_boolean()) value = row["kind"] == "choice" ? (row["value"].get<bool>() ? "✓" : "") : (row["value"].get<bool>() ? "on" : "off");
      else if (row["value"].is_string()) value = row["value"].get<std::string>();
      out += fmt::format("    {:<32} {:<7} {}", row["label"].get<std::string>(), row["kind"].get<std::string>(), value);
      if (row.contains("opens")) out += " → " + row["opens"].get<std::string>();
      out += "\n";
      if (row.contains("lines"))
        for (auto& line : row["lines"]) out += "        | " + line.get<std::string>() + "\n";
      if (row.contains("image"))
        out += "        picture: " + (row["image"].is_null() ? std::string("(none)") : row["image"].get<std::string>()) + "\n";
    }
    if (!group["footer"].is_null()) out += "  " + group["footer"].get<std::string>() + "\n";
  }
  return out;
}

std::string SettingsApp::inspectText(const nlohmann::json& tree) {
  std::string out = fmt::format("page {}  statusBarStyle={}  CoreFoundation {}\n", tree["page"].get<std::string>(),
                                tree["statusBarStyle"].get<long>(), tree["coreFoundationVersion"].get<double>());
  if (tree.contains("rightBarButtonItem")) out += "right bar button: " + tree["rightBarButtonItem"].get<std::string>() + "\n";
  if (tree.contains("titleView")) {
    out += "title view:\n";
    treeText(tree["titleView"], 1, out);
  }
  for (auto& bar : tree["navigationBars"]) {
    out += fmt::format("navigation bar of {}:", bar["owner"].get<std::string>());
    for (auto& [name, value] : bar["properties"].items()) out += fmt::format(" {}={}", name, value.get<std::string>());
    out += "\n";
  }
  treeText(tree["view"], 0, out);
  return out;
}
