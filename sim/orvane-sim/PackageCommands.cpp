#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/device/Device.h"
#include "sim/common/Package.h"
#include "sim/common/RunningSpringBoard.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {
namespace {

constexpr std::string_view kTweakFolder = "/Library/MobileSubstrate/DynamicLibraries/";

/// The tweak libraries among a package's files.
std::vector<std::string> tweakLibraries(const std::vector<std::string>& files) {
  std::vector<std::string> libraries;
  for (const std::string& file : files)
    if (file.starts_with(kTweakFolder) && file.ends_with(".dylib")) libraries.push_back(file);
  return libraries;
}

/// Says what the running SpringBoard has loaded of these libraries, compared
/// with the files now on the device: a library is mapped for the life of the
/// process, whatever happens to its file.
void sayWhatSpringBoardRuns(const std::vector<std::string>& libraries) {
  if (libraries.empty()) return;
  auto springBoard = springboard::runningPid();
  if (!springBoard || !*springBoard) return;
  for (const std::string& library : libraries) {
    std::string name = library.substr(kTweakFolder.size());
    std::error_code failed;
    bool present = std::filesystem::exists(device::hostPath(library), failed);
    auto mapped = springboard::mappedLibrary(**springBoard, library);
    if (!mapped) {
      if (present)
        std::printf("SpringBoard is running without %s: %s loads it.\n", name.c_str(), hint("respring").c_str());
    } else if (!present) {
      std::printf("SpringBoard keeps the removed %s loaded until %s.\n", name.c_str(), hint("respring").c_str());
    } else if (mapped->stale) {
      std::printf("SpringBoard still has the old %s loaded: %s loads the new one.\n", name.c_str(),
                  hint("respring").c_str());
    }
  }
}

/// A field of a package as a terminal may show it: its control characters made visible.
std::string shown(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return text;
}

/// "Name <address>" as a package manager shows an author: the name.
std::string authorName(const std::string& author) {
  std::string name = author.substr(0, author.find('<'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name.empty() ? author : name;
}

/// The installed package a word meant that names none by its id: one called
/// so (package managers show the Name), or one spelt nearly so.
std::string meant(const std::string& word, const std::vector<package::Listed>& installed) {
  std::vector<std::string> words;
  for (const auto& listed : installed) words.insert(words.end(), {listed.name, listed.id});
  std::string near = cli::closest(word, words);
  for (const auto& listed : installed)
    if (!near.empty() && (near == listed.name || near == listed.id)) return listed.id;
  return "";
}

int removeOrPurge(const Invocation& invocation, bool purge) {
  if (int status = requireDevice()) return status;
  const std::string& name = invocation.arguments[0];
  std::string root = device::root();
  if (!package::isKnown(root, name))
    if (std::string id = meant(name, package::installedPackages(root)); !id.empty())
      return fail("no package has the id \"" + name + "\", did you mean " + id + "?");
  auto version = package::installedVersion(root, name);
  auto files = package::contents(root, name);
  auto removed = package::remove(root, name, purge);
  if (!removed) return fail(removed.error().message());
  std::fputs(removed->c_str(), stderr);
  if (version)
    std::printf("%s %s %s.\n", purge ? "Purged" : "Removed", name.c_str(), version->c_str());
  else
    std::printf("Purged what was left of %s.\n", name.c_str());
  // dpkg leaves a folder of the package silently when something else is in it.
  std::vector<std::string> kept;
  for (const std::string& folder : files) {
    std::error_code failed;
    if (folder == "/." || !std::filesystem::is_directory(root + folder, failed)) continue;
    auto owners = package::owners(root, folder);
    if (std::any_of(owners.begin(), owners.end(), [&](const std::string& owner) { return owner != name; })) continue;
    std::erase_if(kept, [&](const std::string& outer) { return folder.starts_with(outer + "/"); });
    kept.push_back(folder);
  }
  for (const std::string& folder : kept)
    std::printf("Kept %s: it holds files of no package.\n", folder.c_str());
  sayWhatSpringBoardRuns(tweakLibraries(files));
  return 0;
}

}  // namespace

int install(const Invocation& invocation) {
  if (int status = requireDevice()) return status;
  auto scripts = invocation.has("--run-scripts") ? package::Scripts::Any : package::Scripts::OursOnly;
  std::string file = invocation.arguments.empty() ? package::builtPackage() : invocation.arguments[0];
  // dpkg would take a name beginning with "-" (given after "--") for an option.
  if (file.starts_with("-")) file = "./" + file;
  auto control = package::inspect(file);
  if (!control && invocation.arguments.empty())
    return fail(control.error().message() + " (build it first: scripts/build)");
  if (!control) return fail(control.error().message());
  std::string root = device::root();
  auto before = package::installedVersion(root, control->name);
  if (auto installed = package::install(root, {file}, scripts); !installed) return fail(installed.error().message());
  const std::string& name = control->name;
  const std::string& version = control->version;
  if (!before) {
    std::printf("Installed %s %s.\n", name.c_str(), version.c_str());
  } else if (*before == version) {
    std::printf("Reinstalled %s %s.\n", name.c_str(), version.c_str());
  } else {
    auto newer = package::run({"dpkg", "--compare-versions", version, "gt", *before});
    if (!newer) return fail(newer.error().message());
    bool upgrade = *newer == 0;
    std::printf("%s %s from %s to %s.\n", upgrade ? "Upgraded" : "Downgraded", name.c_str(), before->c_str(),
                version.c_str());
  }
  sayWhatSpringBoardRuns(tweakLibraries(package::contents(root, name)));
  return 0;
}

int packages(const Invocation& invocation) {
  if (int status = requireDevice()) return status;
  auto installed = package::installedPackages(device::root());
  if (invocation.has("--json")) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& listed : installed)
      list.push_back({{"id", listed.id}, {"name", listed.name}, {"version", listed.version},
                      {"author", listed.author}, {"section", listed.section}, {"description", listed.description}});
    std::printf("%s\n", nlohmann::json{{"packages", list}}.dump(2, ' ', false,
                                                                 nlohmann::json::error_handler_t::replace).c_str());
    return 0;
  }
  std::vector<std::vector<std::string>> rows = {{"Name", "Version", "Section", "Author", "Package", "Description"}};
  for (const auto& listed : installed)
    rows.push_back({shown(listed.name), shown(listed.version), shown(listed.section), shown(authorName(listed.author)),
                    shown(listed.id), shown(listed.description)});
  // Columns line up by characters, not by the bytes of UTF-8.
  auto characters = [](const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xc0) != 0x80; }));
  };
  std::vector<std::size_t> widths(rows.front().size() - 1, 0);
  for (const auto& row : rows)
    for (std::size_t column = 0; column < widths.size(); ++column)
      widths[column] = std::max(widths[column], characters(row[column]));
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t column = 0; column < widths.size(); ++column)
      line += row[column] + std::string(widths[column] - characters(row[column]) + 2, ' ');
    std::printf("%s%s\n", line.c_str(), row.back().c_str());
  }
  return 0;
}

int remove(const Invocation& invocation) { return removeOrPurge(invocation, false); }

int purge(const Invocation& invocation) { return removeOrPurge(invocation, true); }

}  // namespace commands
