#include "sim/common/Package.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "platform/device/FileUtilities.h"
#include "platform/libc/Run.h"
#include "platform/libc/Spawn.h"

namespace package {

std::string executableDirectory() {
  char path[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string executable(path, static_cast<std::size_t>(length));
  return executable.substr(0, executable.rfind('/'));
}

std::string builtPackage() {
  if (const char* path = std::getenv("ORVANE_PACKAGE"); path && *path) return path;
  return executableDirectory() + "/../orvane.deb";
}

const std::vector<std::string>& baseNames() {
  static const std::vector<std::string> names = {"firmware", "mobilesubstrate", "preferenceloader"};
  return names;
}

std::string basePackage(const std::string& name) { return executableDirectory() + "/../base/" + name + ".deb"; }

orvane::Result<int> run(const std::vector<std::string>& arguments, std::string* output, Errors errors) {
  if (!output) {
    libc::SpawnOptions options;
    options.lookup = libc::Lookup::SearchPath;
    if (errors == Errors::Discarded) options.errors = libc::Redirection::null();
    auto child = libc::spawn(arguments, options);
    if (!child) return child.error();
    auto ending = libc::waitFor(*child);
    if (!ending) return ending.error();
    return ending->exitStatus;
  }
  auto ran = libc::run(arguments, errors == Errors::Discarded ? libc::ErrorStream::Discarded : libc::ErrorStream::Shown);
  if (!ran) return ran.error();
  *output += ran->output;
  return ran->status;
}

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> found;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    if (!line.empty()) found.push_back(line);
  return found;
}

std::string trim(std::string text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return text.substr(start);
}

/// dpkg's error lines as one line for a person: its own prefixes and hints left out.
std::string dpkgSays(const std::string& errors) {
  std::string said;
  bool skipping = false;
  for (std::string line : lines(errors)) {
    bool continued = line.starts_with(' ');
    if (skipping && continued) continue;
    skipping = false;
    for (const char* prefix : {"dpkg: error: ", "dpkg: ", "dpkg-deb: error: ", "dpkg-deb: ", "dpkg-query: "})
      if (line.starts_with(prefix)) {
        line.erase(0, std::string_view(prefix).size());
        break;
      }
    // The device takes one architecture: naming it adds nothing.
    for (std::size_t at; (at = line.find(":iphoneos-arm")) != std::string::npos;) line.erase(at, 13);
    line = trim(line);
    if (line.starts_with("Errors were encountered")) break;
    if (!said.empty() && line.starts_with("error processing package")) {
      skipping = true;
      continue;
    }
    if (line.empty() || line.starts_with("Use dpkg") || line.starts_with("Type dpkg") || line.starts_with("(Reading database"))
      continue;
    if (line.ends_with('.')) line.pop_back();
    if (!said.empty()) said += said.back() == ':' ? " " : "; ";
    said += line;
  }
  return said.empty() ? "no reason given" : said;
}

/// The fields of a control paragraph; a continuation line belongs to the field before it.
using Paragraph = std::map<std::string, std::string>;

std::vector<Paragraph> paragraphs(const std::string& text) {
  std::vector<Paragraph> found(1);
  std::string last;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.empty()) {
      if (!found.back().empty()) found.emplace_back();
      continue;
    }
    if (line[0] == ' ' || line[0] == '\t') {
      if (!last.empty()) found.back()[last] += "\n" + line;
      continue;
    }
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    last = line.substr(0, colon);
    found.back()[last] = trim(line.substr(colon + 1));
  }
  if (found.back().empty()) found.pop_back();
  return found;
}

std::string deviceTool(const std::string& root) { return root + "/usr/bin/dpkg"; }

/// Runs one of dpkg's tools, taking what it writes; status -1 when it could not run.
libc::RunOutput tool(const std::vector<std::string>& arguments) {
  auto ran = libc::run(arguments, libc::ErrorStream::Captured);
  if (!ran) return {-1, "", ran.error().message()};
  return std::move(*ran);
}

/// One alternative of a relation: "name", "name (>= 1.0)".
struct Alternative {
  std::string name;
  std::string relation;
  std::string version;
  std::string text;
};

/// "a (>= 1), b | c" as its relations, each a list of alternatives; nullopt if malformed.
std::optional<std::vector<std::vector<Alternative>>> relations(const std::string& field) {
  static const std::regex one(R"(\s*([A-Za-z0-9][A-Za-z0-9+.-]*)(:[a-z0-9-]+)?\s*(\(\s*(<<|<=|=|>=|>>|<|>)\s*([^)\s]+)\s*\))?\s*)");
  std::vector<std::vector<Alternative>> all;
  std::istringstream items(field);
  for (std::string item; std::getline(items, item, ',');) {
    if (trim(item).empty()) continue;
    std::vector<Alternative> alternatives;
    std::istringstream choices(item);
    for (std::string choice; std::getline(choices, choice, '|');) {
      std::smatch match;
      if (!std::regex_match(choice, match, one)) return std::nullopt;
      alternatives.push_back({match[1], match[4], match[5], trim(choice)});
    }
    all.push_back(alternatives);
  }
  return all;
}

bool versionSatisfies(const std::string& version, const std::string& relation, const std::string& wanted) {
  if (relation.empty()) return true;
  std::string op = relation == "<" ? "<=" : relation == ">" ? ">=" : relation;
  return tool({"dpkg", "--compare-versions", version, op, wanted}).status == 0;
}

/// A package that can satisfy dependencies: installed, or in the same run.
struct Available {
  std::string name;
  std::string version;
  std::string provides;
};

bool satisfies(const Available& package, const Alternative& wanted) {
  if (package.name == wanted.name) return versionSatisfies(package.version, wanted.relation, wanted.version);
  auto provided = relations(package.provides);
  if (!provided) return false;
  for (auto& relation : *provided)
    for (auto& virtualName : relation) {
      if (virtualName.name != wanted.name) continue;
      // An unversioned Provides satisfies only unversioned dependencies.
      if (wanted.relation.empty()) return true;
      if (virtualName.relation == "=" && versionSatisfies(virtualName.version, wanted.relation, wanted.version))
        return true;
    }
  return false;
}

std::vector<Paragraph> database(const std::string& root) {
  return paragraphs(tool({deviceTool(root), "--status"}).output);
}

bool isOurs(const std::string& name) {
  return name == kOrvane || std::find(baseNames().begin(), baseNames().end(), name) != baseNames().end();
}

/// Whether each maintainer script of a file is the one of the same name in the built package.
bool scriptsAreOurs(const std::string& file, const Control& control) {
  for (const std::string& script : control.scripts) {
    auto theirs = tool({"dpkg-deb", "--info", file, script});
    auto ours = tool({"dpkg-deb", "--info", builtPackage(), script});
    if (theirs.status != 0 || ours.status != 0 || theirs.output != ours.output) return false;
  }
  return true;
}

/// Whether a relative path, followed from a folder `depth` folders below the
/// root, ever climbs above it.
bool climbsOut(int depth, const std::string& path) {
  std::istringstream steps(path);
  for (std::string step; std::getline(steps, step, '/');) {
    if (step == "..") --depth;
    else if (!step.empty() && step != ".") ++depth;
    if (depth < 0) return true;
  }
  return false;
}

/// An entry of a package listing ("lrwxrwxrwx root/root 0 DATE TIME ./a/b -> TARGET")
/// that leads out of the device root, as the listing shows it: a path climbing
/// above the root, or a link whose target lies outside it. On the host an
/// absolute target is the host's own path, and dpkg writes through a link to a
/// folder when a later package has files there.
std::optional<std::string> entryLeavingTheDevice(const std::string& line) {
  std::istringstream fields(line);
  std::string skipped, entry;
  for (int field = 0; field < 5; ++field) fields >> skipped;
  std::getline(fields >> std::ws, entry);
  // A hard link names another entry of the archive, from the root.
  const char* separator = line.starts_with('l') ? " -> " : line.starts_with('h') ? " link to " : nullptr;
  auto at = separator ? entry.find(separator) : std::string::npos;
  std::string path = entry.substr(0, at);
  if (path.starts_with(".")) path.erase(0, 1);
  if (climbsOut(0, path)) return "the entry " + path;
  if (at == std::string::npos) return std::nullopt;
  std::string target = entry.substr(at + std::strlen(separator));
  int depth = line.starts_with('h') ? 0 : static_cast<int>(std::count(path.begin(), path.end(), '/')) - 1;
  if (target.starts_with('/') || climbsOut(depth, target)) return "the link " + path + separator + target;
  return std::nullopt;
}

}  // namespace

orvane::Result<Control> inspect(const std::string& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return orvane::Error("no package file at " + file);
  if (!S_ISREG(info.st_mode)) return orvane::Error(file + " is not a package file (not a regular file)");
  auto fields = tool({"dpkg-deb", "--field", file});
  if (fields.status != 0) return orvane::Error(file + " is not a Debian package: " + dpkgSays(fields.errors));
  auto read = paragraphs(fields.output);
  if (read.empty()) return orvane::Error(file + " has no control fields");
  Paragraph& paragraph = read.front();
  Control control = {paragraph["Package"], paragraph["Version"], paragraph["Architecture"], paragraph["Depends"],
             paragraph["Pre-Depends"], {}};
  if (control.name.empty() || control.version.empty()) return orvane::Error(file + " names no package or no version");
  // Reading every member through to its end finds a cut-off or damaged archive
  // before dpkg has unpacked any of it.
  auto listing = tool({"dpkg-deb", "--contents", file});
  if (listing.status != 0) return orvane::Error(file + " is damaged: " + dpkgSays(listing.errors));
  for (const std::string& line : lines(listing.output))
    if (auto entry = entryLeavingTheDevice(line))
      return orvane::Error(file + " holds " + *entry + ", which on this computer leads out of the device");
  auto members = tool({"dpkg-deb", "--info", file});
  if (members.status != 0) return orvane::Error(file + " is damaged: " + dpkgSays(members.errors));
  static const std::regex member(R"(^\s+\d+ bytes,\s+\d+ lines\s+\*?\s+(\S+).*)");
  for (const std::string& line : lines(members.output)) {
    std::smatch match;
    if (std::regex_match(line, match, member)) {
      std::string name = match[1];
      if (name == "preinst" || name == "postinst" || name == "prerm" || name == "postrm" || name == "config")
        control.scripts.push_back(name);
    }
  }
  return control;
}

std::optional<std::string> installedVersion(const std::string& root, const std::string& name) {
  auto status = tool({deviceTool(root), "--status", name});
  if (status.status != 0) return std::nullopt;
  auto read = paragraphs(status.output);
  if (read.empty() || read.front()["Status"] != "install ok installed") return std::nullopt;
  return read.front()["Version"];
}

bool isInstalled(const std::string& root, const std::string& name) { return installedVersion(root, name).has_value(); }

orvane::Result<void> install(const std::string& root, const std::vector<std::string>& files, Scripts scripts) {
  std::vector<Control> controls(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    auto inspected = inspect(files[i]);
    if (!inspected) return inspected.error();
    controls[i] = std::move(*inspected);
    const Control& control = controls[i];
    if (control.architecture != "iphoneos-arm" && control.architecture != "all")
      return orvane::Error(control.name + " is made for " +
                           (control.architecture == "iphoneos-arm64" ? "rootless jailbreaks (iphoneos-arm64)"
                                                                     : "\"" + control.architecture + "\"") +
                           "; this device takes iphoneos-arm packages");
    if (scripts == Scripts::OursOnly && !control.scripts.empty() &&
        !(isOurs(control.name) && scriptsAreOurs(files[i], control))) {
      std::string names;
      for (auto& script : control.scripts) names += (names.empty() ? "" : ", ") + script;
      return orvane::Error(control.name + " carries maintainer scripts (" + names +
                           ") that would run on this computer, not inside the device; install it with "
                           "--run-scripts to run them anyway");
    }
  }

  std::vector<Available> available;
  for (Paragraph& paragraph : database(root))
    if (paragraph["Status"] == "install ok installed")
      available.push_back({paragraph["Package"], paragraph["Version"], paragraph["Provides"]});
  for (const Control& control : controls) {
    available.erase(std::remove_if(available.begin(), available.end(),
                                   [&](const Available& package) { return package.name == control.name; }),
                    available.end());
    available.push_back({control.name, control.version, ""});
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (const std::string* field : {&controls[i].preDepends, &controls[i].depends}) {
      auto needed = relations(*field);
      if (!needed) return orvane::Error(controls[i].name + " has a dependency field dpkg cannot read: " + *field);
      for (auto& relation : *needed) {
        bool met = std::any_of(relation.begin(), relation.end(), [&](const Alternative& wanted) {
          return std::any_of(available.begin(), available.end(),
                             [&](const Available& package) { return satisfies(package, wanted); });
        });
        if (met) continue;
        std::string wanted;
        for (auto& alternative : relation) wanted += (wanted.empty() ? "" : " or ") + alternative.text;
        std::string error = controls[i].name + " needs " + wanted + ", which is not installed";
        if (auto version = installedVersion(root, relation.front().name))
          error = controls[i].name + " needs " + wanted + "; the device has " + relation.front().name + " " + *version;
        if (std::find(baseNames().begin(), baseNames().end(), relation.front().name) != baseNames().end())
          error += " (orvane-sim init installs the base packages)";
        return orvane::Error(error);
      }
    }
  }

  auto added = tool({deviceTool(root), "--add-architecture", "iphoneos-arm"});
  if (added.status != 0)
    return orvane::Error("dpkg could not add the device's architecture: " + dpkgSays(added.errors));
  std::vector<std::string> dpkg = {deviceTool(root), "--install"};
  dpkg.insert(dpkg.end(), files.begin(), files.end());
  auto installed = tool(dpkg);
  if (installed.status != 0) return orvane::Error("dpkg could not install: " + dpkgSays(installed.errors));
  return {};
}

orvane::Result<std::string> remove(const std::string& root, const std::string& name, bool purge) {
  std::string known;
  bool found = false;
  for (Paragraph& paragraph : database(root)) {
    // "want flag state": a package only unpacked can go too, one whose files are gone only with a purge.
    std::string state = paragraph["Status"].substr(paragraph["Status"].rfind(' ') + 1);
    if (paragraph["Package"] == name) found = state != "not-installed" && (purge || state != "config-files");
    if (state == "installed") known += (known.empty() ? "" : ", ") + paragraph["Package"];
  }
  if (!found) return orvane::Error(name + " is not installed (installed: " + (known.empty() ? "nothing" : known) + ")");
  auto removed = tool({deviceTool(root), purge ? "--purge" : "--remove", name});
  if (removed.status != 0)
    return orvane::Error("dpkg could not " + std::string(purge ? "purge " : "remove ") + name + ": " +
                         dpkgSays(removed.errors));
  std::string warnings;
  for (const std::string& line : lines(removed.errors))
    if (line.starts_with("dpkg: warning: ")) warnings += line.substr(15) + "\n";
  return warnings;
}

std::vector<std::string> owners(const std::string& root, const std::string& devicePath) {
  // "name:arch, name:arch: path" on a line per path matched.
  std::vector<std::string> found;
  for (const std::string& line : lines(tool({deviceTool(root), "--search", devicePath}).output)) {
    if (!line.ends_with(": " + devicePath)) continue;
    std::istringstream names(line.substr(0, line.size() - devicePath.size() - 2));
    for (std::string name; std::getline(names >> std::ws, name, ',');) found.push_back(name.substr(0, name.find(':')));
  }
  return found;
}

std::vector<std::string> contents(const std::string& root, const std::string& name) {
  auto listed = tool({deviceTool(root), "--listfiles", name});
  if (listed.status != 0) return {};
  return lines(listed.output);
}

orvane::Result<std::string> makeFirmware(const std::string& systemVersion, const std::string& workDirectory) {
  static const std::regex versionText(R"([0-9][0-9A-Za-z.+~]*)");
  if (!std::regex_match(systemVersion, versionText))
    return orvane::Error("the device's iOS version \"" + systemVersion + "\" is no package version");
  std::string tree = workDirectory + "/firmware";
  std::error_code ignored;
  std::filesystem::remove_all(tree, ignored);
  auto extracted = tool({"dpkg-deb", "--raw-extract", basePackage("firmware"), tree});
  if (extracted.status != 0)
    return orvane::Error("cannot read the firmware package " + basePackage("firmware") + ": " +
                         dpkgSays(extracted.errors));
  std::string controlPath = tree + "/DEBIAN/control";
  auto control = files::readWhole(controlPath);
  if (!control) return control.error();
  static const std::regex version(R"(\nVersion:[^\n]*)");
  if (auto written = files::writeAtomically(controlPath, std::regex_replace(*control, version, "\nVersion: " + systemVersion),
                                            files::Durability::Unflushed);
      !written)
    return written.error();
  std::string output = workDirectory + "/firmware.deb";
  auto built = tool({"dpkg-deb", "--root-owner-group", "-Zgzip", "--build", tree, output});
  std::filesystem::remove_all(tree, ignored);
  if (built.status != 0) return orvane::Error("cannot make the firmware package: " + dpkgSays(built.errors));
  return output;
}

}  // namespace package
