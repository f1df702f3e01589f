#include "sim/common/Package.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <tuple>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/hostrun/Run.h"
#include "platform/libc/Spawn.h"
#include "sim/common/PackageArchive.h"

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
  auto ran = hostrun::run(arguments, errors == Errors::Discarded ? hostrun::ErrorStream::Discarded : hostrun::ErrorStream::Shown);
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

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string trim(std::string text) {
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

/// Runs one of dpkg's tools, taking what it writes; status -1 when it could not run.
hostrun::RunOutput tool(const std::vector<std::string>& arguments) {
  auto ran = hostrun::run(arguments, hostrun::ErrorStream::Captured);
  if (!ran) return {-1, "", ran.error().message()};
  return std::move(*ran);
}

/// The device's package database, named without going through the device's links.
std::string adminDirectory(const std::string& root) { return root + "/private/var/lib/dpkg"; }

/// Asks the device's package database through the host's dpkg-query, which only reads.
hostrun::RunOutput query(const std::string& root, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"dpkg-query", "--admindir=" + adminDirectory(root)});
  return tool(arguments);
}

/// A folder of the device, none of its path a link: the package database and
/// the simulator's own files are bound into the sandbox by these descriptors,
/// so that a link put in their place can never bind a folder of this computer.
/// Inherited by the sandbox, closed here.
int openFolderBeneath(int root, const char* path) {
  struct open_how how {};
  how.flags = O_PATH | O_DIRECTORY;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(::syscall(SYS_openat2, root, path, &how, sizeof how));
}

constexpr const char* kSandboxDatabase = "/run/orvane-dpkg";

/// Runs the host's dpkg on the device, confined with bubblewrap: this computer
/// is read-only to it and its maintainer scripts, /tmp is their own, and they
/// have no network. Only the device is written, and of the device not its
/// package database at its own place (dpkg writes it at a place of the sandbox
/// no package names) nor the simulator's own files; so no package file, link
/// or hard link reaches outside, whatever links the device holds.
hostrun::RunOutput confinedDpkg(const std::string& root, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& packageFiles = {}) {
  auto refused = [](const std::string& why) {
    return hostrun::RunOutput{-1, "", "cannot confine dpkg to the device: " + why};
  };
  char resolved[PATH_MAX];
  if (!::realpath(root.c_str(), resolved)) return refused(root + ": " + std::strerror(errno));
  std::string device = resolved;
  // Inherited by bubblewrap: opened without close-on-exec, closed once it has started.
  files::Descriptor top(::open(device.c_str(), O_PATH | O_DIRECTORY));
  files::Descriptor database(top.get() < 0 ? -1 : openFolderBeneath(top.get(), "private/var/lib/dpkg"));
  // bubblewrap closes each descriptor once it has bound it.
  files::Descriptor writable(database.get() < 0 ? -1 : ::dup(database.get()));
  files::Descriptor own(top.get() < 0 ? -1 : openFolderBeneath(top.get(), ".orvane-sim"));
  if (top.get() < 0 || database.get() < 0 || writable.get() < 0 || own.get() < 0)
    return refused("its package database or its own folder is missing or a link (" + device::simulatorCommand("init") +
                   " repairs them)");
  auto fd = [](const files::Descriptor& held) { return std::to_string(held.get()); };
  std::vector<std::string> command = {
      "bwrap", "--ro-bind", "/", "/", "--dev", "/dev", "--proc", "/proc", "--tmpfs", "/tmp", "--tmpfs", "/run",
      "--unshare-ipc", "--unshare-pid", "--unshare-net", "--unshare-uts", "--unshare-cgroup-try",
      "--die-with-parent", "--new-session"};
  for (const std::string& file : packageFiles) command.insert(command.end(), {"--ro-bind", file, file});
  command.insert(command.end(), {"--bind-fd", fd(top), device, "--ro-bind-fd", fd(database),
                                 device + "/private/var/lib/dpkg", "--ro-bind-fd", fd(own), device + "/.orvane-sim",
                                 "--bind-fd", fd(writable), kSandboxDatabase, "--chdir", "/", "dpkg",
                                 "--root=" + device, std::string("--admindir=") + kSandboxDatabase,
                                 "--log=" + device + "/private/var/log/dpkg.log", "--force-script-chrootless"});
  if (::geteuid() != 0) command.push_back("--force-not-root");
  command.insert(command.end(), arguments.begin(), arguments.end());
  auto ran = hostrun::run(command, hostrun::ErrorStream::Captured);
  if (!ran && ran.error().code() == ENOENT)
    return refused("bubblewrap (bwrap) is not installed (scripts/install-dependencies installs it)");
  if (!ran) return refused(ran.error().message());
  if (ran->status != 0 && ran->errors.starts_with("bwrap: "))
    return refused(trim(ran->errors.substr(7)) +
                   " (bubblewrap needs user namespaces, or to run as root, to make the sandbox)");
  return std::move(*ran);
}

/// One alternative of a relation: "name", "name (>= 1.0)".
struct Alternative {
  std::string name;
  std::string relation;
  std::string version;
  std::string text;
};

/// One alternative as dpkg writes it, read without backtracking; nullopt if malformed.
std::optional<Alternative> alternative(std::string_view text) {
  auto isName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '.' || c == '-'; };
  auto isQualifier = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; };
  std::size_t at = 0;
  auto skipBlanks = [&] {
    while (at < text.size() && blank(text[at])) ++at;
  };
  skipBlanks();
  Alternative found;
  std::size_t start = at;
  while (at < text.size() && isName(text[at])) ++at;
  found.name = text.substr(start, at - start);
  if (found.name.empty() || !std::isalnum(static_cast<unsigned char>(found.name[0]))) return std::nullopt;
  if (at < text.size() && text[at] == ':') {
    std::size_t qualifier = ++at;
    while (at < text.size() && isQualifier(text[at])) ++at;
    if (at == qualifier) return std::nullopt;
  }
  skipBlanks();
  if (at < text.size() && text[at] == '(') {
    ++at;
    skipBlanks();
    for (const char* op : {"<<", "<=", ">=", ">>", "=", "<", ">"})
      if (text.substr(at).starts_with(op)) {
        found.relation = op;
        at += std::strlen(op);
        break;
      }
    if (found.relation.empty()) return std::nullopt;
    skipBlanks();
    start = at;
    while (at < text.size() && !blank(text[at]) && text[at] != ')') ++at;
    found.version = text.substr(start, at - start);
    skipBlanks();
    if (found.version.empty() || at == text.size() || text[at] != ')') return std::nullopt;
    ++at;
    skipBlanks();
  }
  if (at != text.size()) return std::nullopt;
  found.text = trim(std::string(text));
  return found;
}

/// "a (>= 1), b | c" as its relations, each a list of alternatives; nullopt if malformed.
std::optional<std::vector<std::vector<Alternative>>> relations(const std::string& field) {
  std::vector<std::vector<Alternative>> all;
  std::istringstream items(field);
  for (std::string item; std::getline(items, item, ',');) {
    if (trim(item).empty()) continue;
    std::vector<Alternative> alternatives;
    std::istringstream choices(item);
    for (std::string choice; std::getline(choices, choice, '|');) {
      auto one = alternative(choice);
      if (!one) return std::nullopt;
      alternatives.push_back(std::move(*one));
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

/// The last word of "want flag state".
std::string state(Paragraph& paragraph) {
  const std::string& status = paragraph["Status"];
  return status.substr(status.rfind(' ') + 1);
}

/// Whether its files are in place and configured, whatever was last asked of
/// it: a removal dpkg refused leaves the wish "deinstall" behind.
bool installedState(Paragraph& paragraph) { return state(paragraph) == "installed"; }

std::vector<Paragraph> database(const std::string& root) {
  return paragraphs(query(root, {"--status"}).output);
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

/// The longest control field read: dpkg's own fields are far shorter, and a
/// longer one is refused before anything parses it.
constexpr std::size_t kLongestField = 16384;
constexpr std::size_t kLongestName = 256;

/// Why a control field is refused, or nothing.
std::optional<std::string> fieldTooLong(const char* field, const std::string& value, std::size_t longest) {
  if (value.size() <= longest) return std::nullopt;
  return std::string("its ") + field + " field is " + std::to_string(value.size()) + " bytes long (at most " +
         std::to_string(longest) + ")";
}

/// The name of a maintainer script in a line of dpkg-deb's --info ("  123 bytes,   4 lines   *  postrm  #!/bin/sh").
std::optional<std::string> scriptOfInfoLine(std::string_view line) {
  std::istringstream words{std::string(line.substr(0, 512))};
  std::string size, bytes, count, linesWord, name;
  if (!(words >> size >> bytes >> count >> linesWord >> name) || bytes != "bytes," || linesWord != "lines")
    return std::nullopt;
  if (size.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  if (name == "*" && !(words >> name)) return std::nullopt;
  for (const char* script : {"preinst", "postinst", "prerm", "postrm", "config"})
    if (name == script) return name;
  return std::nullopt;
}

/// Reads a package's archive and judges each entry against the device; the error names the file.
orvane::Result<void> checkEntries(const std::string& file, DeviceFit& fit) {
  auto entries = dataEntries(file);
  if (!entries) return orvane::Error(file + " is damaged: " + entries.error().message());
  for (const ArchiveEntry& entry : *entries) {
    if (auto refused = fit.refusal(entry)) return orvane::Error(file + " " + *refused);
    if (auto foreign = foreignBinary(entry.head)) {
      std::string path = entry.path.starts_with("./") ? entry.path.substr(1) : entry.path;
      return orvane::Error(file + " holds " + path + ", " + *foreign +
                           ": it is not a package for the simulated device, which loads this computer's ELF "
                           "libraries (scripts/build makes its package, build/orvane.deb)");
    }
  }
  return {};
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
  for (auto [field, value, longest] :
       {std::tuple{"Package", &control.name, kLongestName}, {"Version", &control.version, kLongestName},
        {"Architecture", &control.architecture, kLongestName}, {"Depends", &control.depends, kLongestField},
        {"Pre-Depends", &control.preDepends, kLongestField}})
    if (auto tooLong = fieldTooLong(field, *value, longest))
      return orvane::Error(file + " cannot be installed: " + *tooLong);
  // Reading every member through to its end finds a cut-off or damaged archive
  // before dpkg has unpacked any of it.
  DeviceFit alone("");
  if (auto checked = checkEntries(file, alone); !checked) return checked.error();
  auto members = tool({"dpkg-deb", "--info", file});
  if (members.status != 0) return orvane::Error(file + " is damaged: " + dpkgSays(members.errors));
  for (const std::string& line : lines(members.output))
    if (auto script = scriptOfInfoLine(line)) control.scripts.push_back(*script);
  return control;
}

std::optional<std::string> installedVersion(const std::string& root, const std::string& name) {
  auto status = query(root, {"--status", "--", name});
  if (status.status != 0) return std::nullopt;
  auto read = paragraphs(status.output);
  if (read.empty() || !installedState(read.front())) return std::nullopt;
  return read.front()["Version"];
}

bool isKnown(const std::string& root, const std::string& name) {
  return query(root, {"--status", "--", name}).status == 0;
}

bool isInstalled(const std::string& root, const std::string& name) { return installedVersion(root, name).has_value(); }

std::vector<Listed> installedPackages(const std::string& root) {
  std::vector<Listed> listed;
  for (Paragraph& paragraph : database(root)) {
    if (!installedState(paragraph)) continue;
    auto field = [&](const char* name) { return paragraph[name].substr(0, paragraph[name].find('\n')); };
    Listed package{field("Package"), field("Name"), field("Version"), field("Author"), field("Section"),
                   field("Description")};
    if (package.name.empty()) package.name = package.id;
    if (package.author.empty()) package.author = field("Maintainer");
    listed.push_back(std::move(package));
  }
  auto folded = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  std::sort(listed.begin(), listed.end(), [&](const Listed& a, const Listed& b) {
    return std::tuple(folded(a.name), a.id) < std::tuple(folded(b.name), b.id);
  });
  return listed;
}

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

  // Judged together: a link one of them unpacks counts for those after it.
  DeviceFit fit(root);
  for (const std::string& file : files)
    if (auto checked = checkEntries(file, fit); !checked) return checked.error();

  std::vector<Available> available;
  for (Paragraph& paragraph : database(root))
    if (installedState(paragraph))
      available.push_back({paragraph["Package"], paragraph["Version"], paragraph["Provides"].substr(0, kLongestField)});
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
          error += " (" + device::simulatorCommand("init") + " installs the base packages)";
        return orvane::Error(error);
      }
    }
  }

  auto added = confinedDpkg(root, {"--add-architecture", "iphoneos-arm"});
  if (added.status != 0)
    return orvane::Error("dpkg could not add the device's architecture: " + dpkgSays(added.errors));
  std::vector<std::string> absolute;
  for (const std::string& file : files) absolute.push_back(std::filesystem::absolute(file).lexically_normal());
  std::vector<std::string> dpkg = {"--install", "--"};
  dpkg.insert(dpkg.end(), absolute.begin(), absolute.end());
  auto installed = confinedDpkg(root, dpkg, absolute);
  if (installed.status != 0) return orvane::Error("dpkg could not install: " + dpkgSays(installed.errors));
  return {};
}

orvane::Result<std::string> remove(const std::string& root, const std::string& name, bool purge) {
  std::string known;
  bool found = false;
  for (Paragraph& paragraph : database(root)) {
    // A package only unpacked can go too, one whose files are gone only with a purge.
    std::string now = state(paragraph);
    if (paragraph["Package"] == name) found = now != "not-installed" && (purge || now != "config-files");
    if (now == "installed") known += (known.empty() ? "" : ", ") + paragraph["Package"];
  }
  if (!found) return orvane::Error(name + " is not installed (installed: " + (known.empty() ? "nothing" : known) + ")");
  std::string action = purge ? "--purge" : "--remove";
  auto refused = [&](const hostrun::RunOutput& ran) {
    return orvane::Error("dpkg could not " + action.substr(2) + " " + name + ": " + dpkgSays(ran.errors));
  };
  // dpkg marks the package for removal before it finds it may not go (essential,
  // or needed by another), and leaves the mark; a dry run first changes nothing.
  if (auto tried = confinedDpkg(root, {"--no-act", action, "--", name}); tried.status != 0) return refused(tried);
  auto removed = confinedDpkg(root, {action, "--", name});
  if (removed.status != 0) return refused(removed);
  std::string warnings;
  for (const std::string& line : lines(removed.errors)) {
    // A folder dpkg keeps for what else is in it is the caller's to tell, in its own words.
    if (!line.starts_with("dpkg: warning: ") || line.ends_with("not empty so not removed")) continue;
    warnings += line.substr(15) + "\n";
  }
  return warnings;
}

std::vector<std::string> owners(const std::string& root, const std::string& devicePath) {
  // "name:arch, name:arch: path" on a line per path matched.
  std::vector<std::string> found;
  for (const std::string& line : lines(query(root, {"--search", "--", devicePath}).output)) {
    if (!line.ends_with(": " + devicePath)) continue;
    std::istringstream names(line.substr(0, line.size() - devicePath.size() - 2));
    for (std::string name; std::getline(names >> std::ws, name, ',');) found.push_back(name.substr(0, name.find(':')));
  }
  return found;
}

std::vector<std::string> contents(const std::string& root, const std::string& name) {
  auto listed = query(root, {"--listfiles", "--", name});
  if (listed.status != 0) return {};
  return lines(listed.output);
}

orvane::Result<std::string> makeFirmware(const std::string& systemVersion, const std::string& workDirectory) {
  auto versionCharacter = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '~';
  };
  if (systemVersion.empty() || systemVersion.size() > kLongestName ||
      !std::isdigit(static_cast<unsigned char>(systemVersion[0])) ||
      !std::all_of(systemVersion.begin(), systemVersion.end(), versionCharacter))
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
