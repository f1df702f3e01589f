#include "sim/common/PackageArchive.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/device/FileUtilities.h"
#include "platform/libc/Spawn.h"

namespace package {
namespace {

using files::Descriptor;

constexpr std::size_t kBlock = 512;
/// Longer names than any file system takes are refused, not read.
constexpr std::size_t kLongestName = 4096;
constexpr std::size_t kMostEntries = 1'000'000;

/// Reads exactly `size` bytes unless the stream ends first; false at its end or on an error.
bool readExactly(int descriptor, char* into, std::size_t size) {
  while (size > 0) {
    ssize_t got = ::read(descriptor, into, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    into += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool skip(int descriptor, unsigned long long size) {
  std::array<char, 65536> buffer;
  while (size > 0) {
    std::size_t step = static_cast<std::size_t>(std::min<unsigned long long>(size, buffer.size()));
    if (!readExactly(descriptor, buffer.data(), step)) return false;
    size -= step;
  }
  return true;
}

/// A number field of a tar header: octal text, or base-256 when its first byte has the high bit.
std::optional<unsigned long long> number(const char* field, std::size_t length) {
  unsigned long long value = 0;
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(field[i]); };
  if (byte(0) & 0x80) {
    for (std::size_t i = 1; i < length; ++i) {
      if (value >> 55) return std::nullopt;
      value = (value << 8) | byte(i);
    }
    return (byte(0) & 0x7f) ? std::nullopt : std::optional(value);
  }
  std::size_t i = 0;
  while (i < length && field[i] == ' ') ++i;
  for (; i < length && field[i] >= '0' && field[i] <= '7'; ++i) {
    if (value >> 60) return std::nullopt;
    value = value * 8 + static_cast<unsigned>(field[i] - '0');
  }
  return value;
}

std::string text(const char* field, std::size_t length) { return std::string(field, ::strnlen(field, length)); }

/// The "path" and "linkpath" records of a pax header ("LENGTH key=value\n" each).
void paxRecords(std::string_view records, std::string& path, std::string& link) {
  while (!records.empty()) {
    std::size_t space = records.find(' ');
    if (space == std::string_view::npos) return;
    std::size_t length = 0;
    for (char digit : records.substr(0, space)) {
      if (digit < '0' || digit > '9' || length > records.size()) return;
      length = length * 10 + static_cast<std::size_t>(digit - '0');
    }
    if (length <= space + 1 || length > records.size()) return;
    std::string_view record = records.substr(space + 1, length - space - 2);
    records.remove_prefix(length);
    std::size_t equals = record.find('=');
    if (equals == std::string_view::npos) continue;
    if (record.substr(0, equals) == "path") path = record.substr(equals + 1);
    if (record.substr(0, equals) == "linkpath") link = record.substr(equals + 1);
  }
}

}  // namespace

orvane::Result<std::vector<ArchiveEntry>> readArchive(int stream) {
  std::vector<ArchiveEntry> entries;
  std::string longName, longLink;
  std::array<char, kBlock> header;
  auto cut = [] { return orvane::Error("its data archive ends early"); };
  for (;;) {
    if (!readExactly(stream, header.data(), kBlock)) return cut();
    if (std::all_of(header.begin(), header.end(), [](char c) { return c == 0; })) return entries;
    auto size = number(&header[124], 12);
    if (!size) return orvane::Error("its data archive has an entry of unreadable size");
    char type = header[156] ? header[156] : '0';
    unsigned long long padded = (*size + kBlock - 1) / kBlock * kBlock;
    if (type == 'g') {
      if (!skip(stream, padded)) return cut();
      continue;
    }
    if (type == 'L' || type == 'K' || type == 'x') {
      if (*size > kLongestName * 4) return orvane::Error("its data archive has a name longer than " +
                                                          std::to_string(kLongestName) + " bytes");
      std::string data(static_cast<std::size_t>(padded), '\0');
      if (!readExactly(stream, data.data(), data.size())) return cut();
      data.resize(static_cast<std::size_t>(*size));
      if (type == 'x') paxRecords(data, longName, longLink);
      else (type == 'L' ? longName : longLink) = text(data.data(), data.size());
      continue;
    }
    ArchiveEntry entry;
    entry.type = type;
    entry.path = longName;
    if (entry.path.empty()) {
      entry.path = text(&header[0], 100);
      // The POSIX format keeps the start of a long name apart; GNU's uses that room otherwise.
      if (std::memcmp(&header[257], "ustar\0", 6) == 0 && header[345])
        entry.path = text(&header[345], 155) + "/" + entry.path;
    }
    entry.link = longLink.empty() ? text(&header[157], 100) : longLink;
    longName.clear();
    longLink.clear();
    if (entry.path.size() > kLongestName || entry.link.size() > kLongestName)
      return orvane::Error("its data archive has a name longer than " + std::to_string(kLongestName) + " bytes");
    if (entries.size() == kMostEntries)
      return orvane::Error("its data archive has more than " + std::to_string(kMostEntries) + " entries");
    // A hard link, a link, a folder, a device or a FIFO has no data, whatever its size says.
    bool hasData = std::string_view("123456").find(type) == std::string_view::npos;
    if (hasData && *size > 0) {
      entry.head.resize(static_cast<std::size_t>(std::min<unsigned long long>(*size, kHeadLength)));
      if (!readExactly(stream, entry.head.data(), entry.head.size())) return cut();
      padded -= entry.head.size();
    }
    entries.push_back(std::move(entry));
    if (hasData && !skip(stream, padded)) return cut();
  }
}

namespace {

std::string readAll(int descriptor) {
  std::string all;
  ::lseek(descriptor, 0, SEEK_SET);
  char buffer[4096];
  for (ssize_t got; (got = ::read(descriptor, buffer, sizeof buffer)) > 0 && all.size() < 65536;)
    all.append(buffer, static_cast<std::size_t>(got));
  return all;
}

}  // namespace

orvane::Result<std::vector<ArchiveEntry>> dataEntries(const std::string& file) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return orvane::Error(std::string("cannot read it: ") + std::strerror(errno));
  Descriptor reading(ends[0]), writing(ends[1]);
  Descriptor errors(::memfd_create("dpkg-deb errors", MFD_CLOEXEC));
  libc::SpawnOptions options;
  options.lookup = libc::Lookup::SearchPath;
  options.output = libc::Redirection::to(writing.get());
  options.errors = errors.get() >= 0 ? libc::Redirection::to(errors.get()) : libc::Redirection::null();
  auto child = libc::spawn({"dpkg-deb", "--fsys-tarfile", file}, options);
  if (!child) return child.error();
  writing.reset();
  auto entries = readArchive(reading.get());
  // Whatever follows the archive's end is read too, so that dpkg-deb finishes
  // and says whether the package file is whole.
  if (entries) skip(reading.get(), ~0ULL);
  reading.reset();
  auto ending = libc::waitFor(*child);
  if (!ending) return ending.error();
  if (ending->exitStatus != 0 || !entries) {
    std::string said = errors.get() >= 0 ? readAll(errors.get()) : "";
    for (std::string_view prefix : {"dpkg-deb: error: ", "dpkg-deb: "})
      if (said.starts_with(prefix)) said.erase(0, prefix.size());
    while (!said.empty() && (said.back() == '\n' || said.back() == '.')) said.pop_back();
    if (said.find('\n') != std::string::npos) said.resize(said.find('\n'));
    if (!said.empty()) return orvane::Error(said);
    if (!entries) return entries.error();
    return orvane::Error("dpkg-deb could not read its data archive");
  }
  return entries;
}

namespace {

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

/// The ELF identity that matters for loading: class, byte order and machine.
struct ElfIdentity {
  unsigned char elfClass = 0;
  unsigned char byteOrder = 0;
  unsigned machine = 0;
};

std::optional<ElfIdentity> elfIdentity(std::string_view head) {
  if (head.size() < 20 || !head.starts_with("\x7f" "ELF")) return std::nullopt;
  ElfIdentity identity{static_cast<unsigned char>(head[4]), static_cast<unsigned char>(head[5]), 0};
  auto low = static_cast<unsigned char>(head[18]), high = static_cast<unsigned char>(head[19]);
  identity.machine = identity.byteOrder == 2 ? low << 8 | high : high << 8 | low;
  return identity;
}

/// The identity of this program, which the device's hosts share.
const std::optional<ElfIdentity>& ownIdentity() {
  static const std::optional<ElfIdentity> own = [] {
    std::string head(kHeadLength, '\0');
    Descriptor self(::open("/proc/self/exe", O_RDONLY | O_CLOEXEC));
    ssize_t got = self.get() < 0 ? -1 : ::pread(self.get(), head.data(), head.size(), 0);
    head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return elfIdentity(head);
  }();
  return own;
}

std::string machineName(unsigned machine) {
  switch (machine) {
    case 3: return "32-bit x86";
    case 40: return "32-bit ARM";
    case 62: return "x86-64";
    case 183: return "arm64";
    default: return "machine " + std::to_string(machine);
  }
}

}  // namespace

std::optional<std::string> foreignBinary(std::string_view head) {
  if (head.size() >= 8) {
    std::uint32_t magic = bigEndian32(head, 0);
    bool thin = magic == 0xfeedface || magic == 0xfeedfacf || magic == 0xcefaedfe || magic == 0xcffaedfe;
    // Java's class files share the universal magic; where a universal file counts
    // its slices (a few), they have their version, never below 45.
    std::uint32_t slices = bigEndian32(head, 4);
    bool universal = (magic == 0xcafebabe || magic == 0xcafebabf) && slices >= 1 && slices < 30;
    if (thin || universal) return std::string("a Mach-O file, built for iOS devices");
  }
  auto elf = elfIdentity(head);
  const auto& own = ownIdentity();
  if (!elf || !own) return std::nullopt;
  if (elf->machine != own->machine || elf->elfClass != own->elfClass || elf->byteOrder != own->byteOrder)
    return "an ELF file for " + machineName(elf->machine) +
           (elf->machine == own->machine ? elf->elfClass == 1 ? " in 32-bit form" : " in another form" : "") +
           ", where the simulated device runs " + machineName(own->machine);
  return std::nullopt;
}

namespace {

struct Alias {
  const char* name;
  /// Where it leads, and its target as the device writes it.
  const char* target;
  const char* written;
};
/// The device's own links, which dpkg follows as folders.
constexpr Alias kAliases[] = {{"var", "private/var", "private/var"},
                              {"tmp", "private/var/tmp", "private/var/tmp"},
                              {"User", "private/var/mobile", "var/mobile"}};

/// The device's own folders, which no package may replace with a file or a link.
bool isSkeleton(const std::string& path) {
  static const std::set<std::string> folders = {
      "private", "private/var", "private/var/mobile", "private/var/mobile/Library",
      "private/var/mobile/Library/Preferences", "private/var/mobile/Library/Logs", "private/var/tmp",
      "private/var/run", "private/var/lib", "private/var/log", "Library", "Library/MobileSubstrate",
      "Library/MobileSubstrate/DynamicLibraries", "Library/Application Support", "Library/PreferenceBundles",
      "Library/PreferenceLoader", "Library/PreferenceLoader/Preferences", "System", "System/Library",
      "System/Library/CoreServices", "usr", "usr/bin"};
  return folders.contains(path);
}

/// What only the device's own tools write: its package database and the simulator's files.
const char* reservedFor(const std::string& path) {
  for (auto [folder, what] : {std::pair{"private/var/lib/dpkg", "the device's package database"},
                              {".orvane-sim", "the simulator's own files"}})
    if (path == folder || path.starts_with(std::string(folder) + "/")) return what;
  return nullptr;
}

std::string shown(const std::vector<std::string>& parts) {
  std::string path;
  for (const std::string& part : parts) path += "/" + part;
  return path.empty() ? "/" : path;
}

std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = std::min(path.find('/', start), path.size());
    std::string part = path.substr(start, slash - start);
    if (!part.empty() && part != ".") parts.push_back(part);
    start = slash + 1;
  }
  return parts;
}

bool climbs(const std::vector<std::string>& parts) {
  return std::find(parts.begin(), parts.end(), "..") != parts.end();
}

/// Whether a link's relative target, followed from a folder `depth` folders below the root, climbs above it.
bool climbsOut(std::size_t depth, const std::string& target) {
  long level = static_cast<long>(depth);
  for (const std::string& step : components(target))
    if ((level += step == ".." ? -1 : 1) < 0) return true;
  return false;
}

constexpr const char* kOut = ", which on this computer leads out of the device";

}  // namespace

orvane::Result<std::vector<std::string>> DeviceFit::place(const std::string& written) {
  std::vector<std::string> parts = components(written);
  std::vector<std::string> placed;
  auto enter = [&](const std::string& part) -> orvane::Result<void> {
    placed.push_back(part);
    std::string path = shown(placed);
    if (links_.contains(path))
      return orvane::Error("puts " + shown(parts) + " under the link " + path + " of a package" + kOut);
    struct stat info {};
    if (!root_.empty() && ::lstat((root_ + path).c_str(), &info) == 0 && S_ISLNK(info.st_mode))
      return orvane::Error("puts " + shown(parts) + " under the link " + path + " on the device" + kOut);
    return {};
  };
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    const std::string& part = parts[i];
    auto alias = std::find_if(std::begin(kAliases), std::end(kAliases), [&](const Alias& a) { return part == a.name; });
    // The device's own links are followed, as dpkg does; what they lead through is judged like the rest.
    std::vector<std::string> steps = placed.empty() && alias != std::end(kAliases) ? components(alias->target)
                                                                                   : std::vector<std::string>{part};
    for (const std::string& step : steps)
      if (auto entered = enter(step); !entered) return entered.error();
  }
  if (!parts.empty()) placed.push_back(parts.back());
  return placed;
}

std::optional<std::string> DeviceFit::refusal(const ArchiveEntry& entry) {
  std::vector<std::string> written = components(entry.path);
  if (written.empty())
    return entry.type == '5' ? std::nullopt : std::optional<std::string>("holds the device's root as a file or link");
  std::string path = shown(written);
  if (climbs(written)) return "holds the entry " + path + kOut;
  auto placed = place(entry.path);
  if (!placed) return "holds " + placed.error().message().substr(5);
  std::string at = shown(*placed).substr(1);
  if (const char* what = reservedFor(at)) return "holds " + path + ", inside " + what;
  auto alias = std::find_if(std::begin(kAliases), std::end(kAliases), [&](const Alias& a) { return at == a.name; });
  bool isAlias = alias != std::end(kAliases);
  // The firmware holds the device's links as the device makes them.
  bool same = isAlias && entry.type == '2' && entry.link == alias->written;
  if (entry.type != '5' && !same && (isAlias || isSkeleton(at)))
    return "holds " + path + " as " + (entry.type == '2' ? "a link" : "a file") + ", where the device has its own " +
           (isAlias ? "link" : "folder");
  if (entry.type == '2') {
    if (entry.link.starts_with('/') || climbsOut(placed->size() - 1, entry.link))
      return "holds the link " + path + " -> " + entry.link + kOut;
    links_.insert(shown(*placed));
  }
  if (entry.type == '1') {
    // A hard link names another entry, from the root; dpkg takes the name as it is.
    std::vector<std::string> target = components(entry.link);
    if (entry.link.starts_with('/') || climbs(target))
      return "holds the hard link " + path + " to " + entry.link + kOut;
    auto linked = place(entry.link);
    if (!linked) return "holds the hard link " + path + " to " + entry.link + ", which " + linked.error().message();
    if (const char* what = reservedFor(shown(*linked).substr(1)))
      return "holds the hard link " + path + " to " + entry.link + ", inside " + what;
  }
  return std::nullopt;
}

}  // namespace package
