#include "sim/serve/Screen.h"

#include <fmt/format.h>

#include <algorithm>
#include <tuple>

#include "platform/device/PreferencesChange.h"
#include "platform/foundation/NSString.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/social/SLComposeViewController.h"
#include "sim/settings/Navigation.h"
#include "sim/settings/PageJson.h"
#include "sim/settings/PageSnapshot.h"
#include "sim/settings/SettingsEntry.h"
#include "sim/render/Screenshot.h"

namespace serve {

namespace {

constexpr int kScale = 2;

std::string joined(NSArray* list) {
  std::string out;
  if (list)
    for (auto& item : *list) out += (out.empty() ? "" : ", ") + foundation::describe(item.get());
  return out;
}

Outcome failed(int status, std::string message) { return Outcome{status, std::move(message)}; }

Outcome outcomeOf(const orvane::Result<void>& done) { return done ? Outcome{} : failed(422, done.error().message()); }

/// Whether a tap on the row does anything: text and group rows only show.
bool answersTap(PSSpecifier* row) {
  switch (row->cellType()) {
    case PSSwitchCell:
    case PSListItemCell:
    case PSLinkCell:
    case PSLinkListCell:
    case PSButtonCell: return true;
    default: return false;
  }
}

/// The places a tap answers, rows named by their section and index on the page
/// as well as by label. A place drawn where a tap does nothing (a row that
/// only shows, the back button that would leave the entry) is left out.
nlohmann::json targetsOf(const std::vector<render::Target>& targets, PSListController* page, bool back) {
  std::vector<std::tuple<std::string, long, long, bool>> rows;
  if (page) {
    const auto& groups = page->groups();
    for (std::size_t section = 0; section < groups.size(); ++section)
      for (std::size_t index = 0; index < groups[section].rows.size(); ++index) {
        PSSpecifier* row = groups[section].rows[index];
        rows.emplace_back(row->name() ? row->name()->utf8() : "", static_cast<long>(section), static_cast<long>(index),
                          answersTap(row));
      }
  }
  nlohmann::json places = nlohmann::json::array();
  for (const render::Target& target : targets) {
    if (target.kind == "back" && !back) continue;
    nlohmann::json place = {{"kind", target.kind},
                            {"label", target.label},
                            {"frame", {target.frame.origin.x, target.frame.origin.y, target.frame.size.width,
                                       target.frame.size.height}}};
    if (target.kind == "row") {
      // Rows of one label are met in the page's order, each taken once.
      auto found = std::find_if(rows.begin(), rows.end(), [&](auto& row) { return std::get<0>(row) == target.label; });
      if (found == rows.end()) continue;
      std::get<0>(*found).insert(0, 1, '\0');
      if (!std::get<3>(*found)) continue;
      place["section"] = std::get<1>(*found);
      place["row"] = std::get<2>(*found);
    }
    places.push_back(place);
  }
  return places;
}

}  // namespace

Screen::Screen(const std::string& entryName) {
  auto loaded = settings::loadEntry(entryName);
  if (loaded)
    navigation_ = std::make_unique<settings::Navigation>(*loaded);
  else
    loaded_ = loaded.error();
  refresh();
}

Screen::~Screen() = default;

void Screen::refresh() { look(true); }

void Screen::redraw() { look(false); }

void Screen::look(bool afresh) {
  if (!afresh && layout_ > 0) {
    // The same rows and places: only the picture may have moved on.
    auto drawn = draw();
    if (!drawn || (picture_ && *drawn->png == *picture_)) return;
    picture_ = drawn->png;
    shown_["version"] = ++version_;
    shown_["image"] = imageOf(*drawn);
    return;
  }
  PSListController* page = navigation_ ? navigation_->page() : nullptr;
  nlohmann::json shown = page ? settings::toJson(settings::snapshotPage(*page)) : nlohmann::json::object();
  UINavigationController* navigation = page ? page->navigationController() : nullptr;
  const auto* stack = navigation ? &navigation->viewControllers() : nullptr;
  // Back leads to another page of the entry, never out of it into Settings itself.
  shown["back"] = stack && stack->size() >= 2 && objc_cast<PSListController>((*stack)[stack->size() - 2].get());
  shown["share"] = page && page->navigationItem()->rightBarButtonItem() != nullptr;
  if (MFMailComposeViewController* mail = navigation_ ? navigation_->presentedMail() : nullptr) {
    nlohmann::json attachments = nlohmann::json::array();
    for (auto& attachment : mail->attachments())
      attachments.push_back({{"name", attachment.fileName}, {"type", attachment.mimeType}, {"bytes", attachment.data.size()}});
    shown["mail"] = {{"to", joined(mail->toRecipients())},
                     {"subject", foundation::describe(mail->subject())},
                     {"body", foundation::describe(mail->messageBody())},
                     {"attachments", attachments}};
  } else if (SLComposeViewController* sheet = navigation_ ? navigation_->presentedSheet() : nullptr) {
    shown["sheet"] = {{"service", "Twitter"}, {"text", foundation::describe(sheet->text())}};
  }
  if (!loaded_) shown["error"] = loaded_.error().message();
  std::optional<Drawn> drawn;
  if (navigation_) {
    shown["targets"] = targetsOf(render::targets(*navigation_, options()), page, shown["back"].get<bool>());
    drawn = draw();
  }
  // What a click means changes with the rows and the places shown; the picture
  // alone changes as the page animates.
  bool newLayout = layout_ == 0 || shown != shownWithoutVersion_;
  bool newPicture = drawn && (!picture_ || *drawn->png != *picture_);
  if (!newLayout && !newPicture) return;
  if (newLayout) ++layout_;
  shownWithoutVersion_ = shown;
  shown["version"] = ++version_;
  shown["layout"] = layout_;
  if (drawn) {
    picture_ = drawn->png;
    shown["image"] = imageOf(*drawn);
  } else {
    picture_ = nullptr;
  }
  shown_ = std::move(shown);
}

render::Options Screen::options() const {
  // Under a sheet the page does not scroll: the screen is what there is to see.
  bool sheet = navigation_ && (navigation_->presentedMail() || navigation_->presentedSheet());
  return render::Options{.scale = kScale, .fullPage = !sheet};
}

std::optional<Screen::Drawn> Screen::draw() const {
  if (!navigation_) return std::nullopt;
  render::Picture picture = render::screenshot(*navigation_, options());
  if (!picture) return std::nullopt;
  auto png = picture.png();
  if (!png) return std::nullopt;
  return Drawn{std::make_shared<const std::string>(std::move(*png)), picture.width() / kScale, picture.height() / kScale};
}

nlohmann::json Screen::imageOf(const Drawn& drawn) const {
  // The picture may be taller than the screen, which shows a part of it at a time.
  CGSize screen = render::screenSize();
  return {{"url", "/screen.png?v=" + std::to_string(version_)},
          {"width", drawn.width},
          {"height", drawn.height},
          {"screen", {{"width", screen.width}, {"height", screen.height}}}};
}

Outcome Screen::act(const Action& action) {
  if (!loaded_) return failed(422, loaded_.error().message());
  if (action.screen != layout_)
    return failed(409, "the screen changed before the click arrived; look again and click once more");
  Outcome outcome;
  try {
    MFMailComposeViewController* mail = navigation_->presentedMail();
    SLComposeViewController* sheet = navigation_->presentedSheet();
    if (action.kind == "mail" || action.kind == "sheet") {
      if (action.kind == "mail" && mail) {
        Retained<MFMailComposeViewController> keep = objc::retain(mail);  // the dismissal lets go of it
        if (action.answer == "cancel") {
          mail->cancel();
          outcome.message = "Cancelled.";
        } else {
          bool sending = action.answer == "send";
          std::string path = sending ? mail->send() : mail->save();
          outcome = path.empty() ? failed(422, std::string("the mail was not ") + (sending ? "sent: " : "saved: ") + mail->failure())
                                 : Outcome{200, (sending ? "Sent: " : "Saved as a draft: ") + path};
        }
      } else if (action.kind == "sheet" && sheet) {
        Retained<SLComposeViewController> keep = objc::retain(sheet);
        if (action.answer == "post") {
          outcome.message = "Posted: " + sheet->post();
        } else {
          sheet->cancel();
          outcome.message = "Cancelled.";
        }
      } else {
        return failed(409, "no " + std::string(action.kind == "mail" ? "mail composer" : "share sheet") + " is open");
      }
    } else if (mail || sheet) {
      return failed(409, std::string("the ") + (mail ? "mail composer" : "share sheet") + " is open: answer it first");
    } else if (action.kind == "row") {
      outcome = tapRow(action.section, action.row);
    } else if (action.kind == "back") {
      outcome = back();
    } else if (action.kind == "share") {
      outcome = outcomeOf(navigation_->share());
      if (outcome.status == 200 && !navigation_->presentedSheet())
        outcome.message = "Twitter is not available on this device: nothing to share with.";
    }
  } catch (const std::exception& exception) {
    outcome = failed(422, std::string("the Settings app failed: ") + exception.what());
  }
  refresh();
  return outcome;
}

Outcome Screen::tapRow(long section, long index) {
  PSListController* page = navigation_->page();
  if (!page) return failed(409, "no page is shown");
  const auto& groups = page->groups();
  if (section < 0 || static_cast<std::size_t>(section) >= groups.size() || index < 0 ||
      static_cast<std::size_t>(index) >= groups[section].rows.size())
    return failed(409, fmt::format("the page has no row {} in section {}", index, section));
  PSSpecifier* row = groups[section].rows[index];
  std::string label = row->name() ? row->name()->utf8() : "";
  switch (row->cellType()) {
    case PSSwitchCell: {
      auto* value = objc_cast<NSNumber>(page->valueForSpecifier(row).get());
      return outcomeOf(navigation_->set({label}, value && value->boolValue() ? "off" : "on"));
    }
    case PSListItemCell: {
      // A choice is picked where it is shown, and its list stays open, as on the device.
      auto* choices = objc_cast<PSListItemsController>(page);
      device::PreferencesChange change;
      if (!choices || !choices->pickTitle(label)) return failed(422, "the choice \"" + label + "\" could not be picked");
      std::string failures;
      for (auto& failure : change.failures()) failures += (failures.empty() ? "" : "; ") + failure;
      return failures.empty() ? Outcome{} : failed(422, failures);
    }
    case PSLinkCell:
    case PSLinkListCell: return outcomeOf(navigation_->follow({label}));
    case PSButtonCell: return outcomeOf(navigation_->tap({label}));
    default: return Outcome{};  // a tap on a text or group row does nothing
  }
}

Outcome Screen::back() {
  PSListController* page = navigation_->page();
  if (!page || !shown_.value("back", false)) return failed(409, "this page has no back button");
  page->navigationController()->popViewControllerAnimated(true);
  return {};
}

}  // namespace serve
