#pragma once

#include <string>
#include <vector>

// The Debian package of the tweak and the device's own package database.
namespace package {

/// The package built beside the simulator's executables ($ORVANE_PACKAGE overrides).
std::string builtPackage();

/// The directory of the running executable.
std::string executableDirectory();

/// Whether the device's package database lists the package as installed.
bool isInstalled(const std::string& root, const std::string& name);

/// Installs a .deb into the device with dpkg, the device's admin directory
/// being its "/var/lib/dpkg". Returns an error text, empty on success.
std::string install(const std::string& root, const std::string& debianPackage);

enum class Errors { Shown, Discarded };

/// Runs a program without a shell; returns its exit status (-1 if it could not
/// run) and, if `output` is given, what it wrote to standard output.
int run(const std::vector<std::string>& arguments, std::string* output = nullptr, Errors errors = Errors::Shown);

}  // namespace package
