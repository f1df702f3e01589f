#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result/Result.h"

// A package's data archive read as dpkg unpacks it, and what its entries would
// do to a device.
namespace package {

/// One member of the data archive, its names exactly as the archive holds
/// them: dpkg-deb's listing drops a hard-link target's leading "../", dpkg does not.
struct ArchiveEntry {
  std::string path;
  /// tar's type: '0' a file, '1' a hard link, '2' a link, '5' a folder, ...
  char type = '0';
  /// A link's target, or the archive path a hard link names.
  std::string link;
  /// A file's first bytes (at most kHeadLength), enough to tell a program's format.
  std::string head;
};

inline constexpr std::size_t kHeadLength = 64;

/// Why a file beginning with `head` cannot be loaded on the simulated device
/// ("a Mach-O file, built for iOS devices"), or nothing: it is no program or
/// library, or one for the machine this computer is.
std::optional<std::string> foreignBinary(std::string_view head);

/// Every entry of a tar stream, read from a descriptor up to the archive's end;
/// the error says what is wrong with it. Names and links are at most 4096
/// bytes, entries at most a million.
orvane::Result<std::vector<ArchiveEntry>> readArchive(int stream);

/// Every entry of a package file's data archive, read through to its end, so
/// that a damaged archive is found too; the error says why, without the file's name.
orvane::Result<std::vector<ArchiveEntry>> dataEntries(const std::string& file);

/// Judges archive entries against the device at `root`, through the links
/// already on it and those of archives judged before in the same run.
class DeviceFit {
 public:
  explicit DeviceFit(std::string root) : root_(std::move(root)) {}

  /// Why the entry may not be unpacked on the device, or nothing: it would
  /// lead out of the device, go through a link, replace a folder or link of
  /// the device's own, or land in its package database.
  std::optional<std::string> refusal(const ArchiveEntry& entry);

 private:
  /// The path of an entry on the device with the device's own links followed,
  /// as components; the error says where it goes wrong.
  orvane::Result<std::vector<std::string>> place(const std::string& written);

  std::string root_;
  /// Links unpacked by the archives judged so far, as device paths.
  std::set<std::string> links_;
};

}  // namespace package
