// themes [--json], themes add FILE [--name NAME] [--trim] and themes remove NAME.
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <fmt/format.h>
#include <string>
#include <vector>

#include "contract/Orvane.h"
#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "sim/orvane-sim/Commands.h"
#include "sim/orvane-sim/PageKeys.h"
#include "sim/orvane-sim/Themes.h"

namespace commands {

std::vector<Choice> chosenThemes() {
  // The buttons the hook plays each key's theme for.
  static const std::vector<std::pair<std::string, std::string>> buttons = {
      {std::string(orvane::contract::increaseSoundKey), "up"},
      {std::string(orvane::contract::decreaseSoundKey), "down"}};
  auto preferences = NSDictionary::dictionaryWithContentsOfFile(
      NSString::stringWithUTF8String(device::preferencesFile(orvane::contract::domain)).get());
  std::vector<pagekeys::Key> keys = pagekeys::installed();
  std::vector<Choice> chosen;
  for (const auto& [key, button] : buttons) {
    std::string name(orvane::contract::defaultTheme);
    for (const auto& known : keys)
      if (known.name == key && !known.fallback.empty()) name = known.fallback;
    if (auto* stored = preferences ? preferences->objectForKey(key) : nullptr)
      name = objc_cast<NSString>(stored) ? objc_cast<NSString>(stored)->utf8() : foundation::describe(stored);
    chosen.push_back({button, key, name});
  }
  return chosen;
}

int themesList(const Invocation& invocation) {
  if (int status = requireDevice()) return status;
  std::vector<themes::Theme> installed = themes::installed();
  std::vector<Choice> chosen = chosenThemes();
  auto buttonsOf = [&](const std::string& name) {
    std::vector<std::string> buttons;
    for (const auto& choice : chosen)
      if (choice.theme == name) buttons.push_back(choice.button);
    return buttons;
  };
  if (invocation.has("--json")) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& theme : installed) {
      nlohmann::json entry = {{"name", theme.name}, {"file", theme.file}, {"plays", theme.plays},
                              {"seconds", theme.seconds}, {"rate", theme.rate}, {"channels", theme.channels},
                              {"format", theme.format}, {"chosenFor", buttonsOf(theme.name)}};
      if (!theme.plays) entry["problem"] = theme.problem;
      list.push_back(entry);
    }
    nlohmann::json out = {{"directory", themes::kDirectory}, {"themes", list}};
    for (const auto& choice : chosen) {
      themes::Theme theme = themes::examine(choice.theme);
      out["chosen"][choice.button] = {{"name", choice.theme}, {"plays", theme.plays}};
    }
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return 0;
  }
  std::printf("Sound themes in %s:\n", themes::kDirectory);
  std::size_t width = 4;
  for (const auto& theme : installed) width = std::max(width, theme.name.size());
  for (const auto& theme : installed) {
    std::string facts = theme.rate > 0 ? fmt::format("{:>6.1f} s  {:>6} Hz  {}  {}", theme.seconds, theme.rate,
                                                     theme.channels == 1   ? "mono  "
                                                     : theme.channels == 2 ? "stereo"
                                                                           : fmt::format("{} ch  ", theme.channels),
                                                     theme.format)
                                       : "";
    std::string buttons;
    for (const auto& button : buttonsOf(theme.name)) buttons += (buttons.empty() ? "  [" : ", ") + button;
    if (!buttons.empty()) buttons += "]";
    std::printf("  %-*s  %s%s%s\n", static_cast<int>(width), theme.name.c_str(),
                theme.plays ? facts.c_str() : ("does not play: " + theme.problem).c_str(), buttons.c_str(),
                theme.plays || facts.empty() ? "" : ("  (" + facts + ")").c_str());
  }
  if (installed.empty()) std::printf("  (none)\n");
  for (const auto& choice : chosen) {
    themes::Theme theme = themes::examine(choice.theme);
    std::printf("Volume %s plays %s%s\n", choice.button.c_str(), choice.theme.c_str(),
                theme.plays ? "" : (" - nothing plays: " + theme.problem).c_str());
  }
  return 0;
}

int themesAdd(const Invocation& invocation) {
  const std::string& file = invocation.arguments[0];
  std::string name = invocation.option("--name", themes::nameOfFile(file));
  if (invocation.has("--name"))
    if (auto fits = themes::nameFits(name); !fits) return cli::wrongUse(invocation, "bad name \"" + name + "\": " + fits.error().message());
  if (int status = requireDevice()) return status;
  auto added = themes::add(file, name, invocation.has("--trim") ? themes::Trim::ToLongest : themes::Trim::No);
  if (!added) return fail(added.error().message());
  const themes::Theme& theme = added->theme;
  std::printf("Added the theme \"%s\" (%.1f s, %d Hz, %d channel%s): %s\n", theme.name.c_str(), theme.seconds,
              theme.rate, theme.channels, theme.channels == 1 ? "" : "s", theme.file.c_str());
  if (added->trimmed > 0) std::printf("Trimmed to 30 s: the last %.1f s were left out.\n", added->trimmed);
  std::printf("Pick it with: %s\n",
              hint("settings set \"Sound Themes/Volume Up Sound\" " + device::shellWord(theme.name)).c_str());
  return 0;
}

int themesRemove(const Invocation& invocation) {
  const std::string& name = invocation.arguments[0];
  if (int status = requireDevice()) return status;
  if (auto removed = themes::remove(name); !removed) {
    std::string near = removed.error().code() == ENOENT ? cli::closest(name, themes::names(themes::installed())) : "";
    return fail(removed.error().message() + (near.empty() ? "" : ", did you mean " + near + "?"));
  }
  std::printf("Removed the theme \"%s\"\n", name.c_str());
  for (const auto& choice : chosenThemes())
    if (choice.theme == name)
      warn("volume " + choice.button + " still names \"" + name + "\": it plays nothing until another theme is picked");
  return 0;
}

}  // namespace commands
