#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/result/Result.h"

// Debian packages and the device's own package database, worked on through the
// device's package tool "/usr/bin/dpkg" (the host's dpkg at the device's root).
namespace package {

inline constexpr const char* kOrvane = "com.quillmark.orvane";

/// The package built beside the simulator's executables ($ORVANE_PACKAGE overrides).
std::string builtPackage();

/// The packages every jailbroken device has, in the order they install.
const std::vector<std::string>& baseNames();
/// The file of a base package built beside the simulator's executables.
std::string basePackage(const std::string& name);

/// The directory of the running executable.
std::string executableDirectory();

/// What a package file says of itself.
struct Control {
  std::string name;
  std::string version;
  std::string architecture;
  std::string depends;
  std::string preDepends;
  /// Its maintainer scripts ("postrm", ...).
  std::vector<std::string> scripts;
};

/// Reads a package file's control and checks the whole archive can be read and
/// holds no link leading out of the device; the error names the file.
orvane::Result<Control> inspect(const std::string& file);

/// The version of a package whose files are installed and configured on the device, if it is.
std::optional<std::string> installedVersion(const std::string& root, const std::string& name);
bool isInstalled(const std::string& root, const std::string& name);
/// Whether the device's package database knows the package, in any state (removed, its configuration kept).
bool isKnown(const std::string& root, const std::string& name);

/// An installed package as a jailbreak package manager lists it.
struct Listed {
  std::string id;
  /// Its Name field, else its id.
  std::string name;
  std::string version;
  /// Its Author field, else its Maintainer, as written ("Name <address>").
  std::string author;
  std::string section;
  /// The description's first line.
  std::string description;
};

/// The packages installed on the device, by name as package managers sort them.
std::vector<Listed> installedPackages(const std::string& root);

/// Whether maintainer scripts made elsewhere may run: they run on this computer,
/// not inside the device.
enum class Scripts { OursOnly, Any };

/// Installs or upgrades package files in one run of the device's dpkg, after
/// checking each file, its architecture, its scripts and that every dependency
/// is installed or among the files, so a refused package never lands half
/// unpacked.
orvane::Result<void> install(const std::string& root, const std::vector<std::string>& files, Scripts scripts = Scripts::OursOnly);

/// Removes an installed package (its configuration stays, as dpkg keeps it), or
/// with `purge` removes it with everything it declares its own. Gives dpkg's
/// warnings, one a line.
orvane::Result<std::string> remove(const std::string& root, const std::string& name, bool purge);

/// The packages whose files and folders include the device path.
std::vector<std::string> owners(const std::string& root, const std::string& devicePath);

/// The device paths of an installed package's files and folders.
std::vector<std::string> contents(const std::string& root, const std::string& name);

/// Makes the firmware package of a device of that iOS version from the built
/// one, in `workDirectory`; gives its file.
orvane::Result<std::string> makeFirmware(const std::string& systemVersion, const std::string& workDirectory);

enum class Errors { Shown, Discarded };

/// Runs a program without a shell; returns its exit status (an error if it
/// could not run) and, if `output` is given, what it wrote to standard output.
orvane::Result<int> run(const std::vector<std::string>& arguments, std::string* output = nullptr, Errors errors = Errors::Shown);

}  // namespace package
