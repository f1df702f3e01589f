#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Reading the Mach-O files of the iOS build without Apple's tools: what a
// loader on the device would see of them.

namespace machocheck {

constexpr std::uint32_t MH_DYLIB = 6;
constexpr std::uint32_t MH_BUNDLE = 8;
constexpr std::uint32_t MH_TWOLEVEL = 0x80;
constexpr std::uint32_t CPU_TYPE_ARM64 = 0x0100000c;
constexpr std::uint32_t CPU_SUBTYPE_ARM64_ALL = 0;

/// A file that is not a well-formed thin 64-bit Mach-O file.
class MalformedFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Import {
  std::string symbol;
  /// The install name of the library the symbol is bound to (two-level namespace).
  std::string library;
};

struct Section {
  std::string segment, name;
  std::uint32_t fileOffset = 0;
  std::uint64_t size = 0;
};

struct MachOFile {
  std::vector<std::uint8_t> bytes;
  std::uint32_t fileType = 0;
  std::uint32_t cpuType = 0;
  /// Without the capability bits of the top byte.
  std::uint32_t cpuSubtype = 0;
  std::uint32_t flags = 0;
  /// "7.0" from LC_VERSION_MIN_IPHONEOS or LC_BUILD_VERSION.
  std::string minimumIOS;
  std::string installName;
  /// Every LC_LOAD_DYLIB (and weak, re-exported, upward) path, in order.
  std::vector<std::string> loadedLibraries;
  std::vector<std::string> runPaths;
  std::vector<Import> imports;
  /// The names the export trie offers to other images.
  std::set<std::string> exports;
  /// The functions of __mod_init_func, in the order the loader runs them.
  std::vector<std::string> initialisers;
  std::vector<Section> sections;
  std::uint64_t linkeditFileOffset = 0, linkeditFileSize = 0, linkeditVMSize = 0;
  std::uint32_t codeSignatureOffset = 0;
  std::uint32_t codeSignatureSize = 0;

  bool hasSection(const std::string& segment, const std::string& name) const;
  /// The NUL-terminated strings of __TEXT,__cstring.
  std::vector<std::string> cStrings() const;

  /// Throws MalformedFile naming what is wrong.
  static MachOFile parse(std::vector<std::uint8_t> bytes);
  static MachOFile read(const std::filesystem::path& path);
};

/// What each library exports, by install name, as the text stubs list it.
using ExportLists = std::map<std::string, std::set<std::string>>;

/// Reads every .tbd file of a folder.
ExportLists readStubs(const std::filesystem::path& folder);

/// One line per import missing from its library's list:
/// "_symbol from /usr/lib/libobjc.A.dylib: not on that library's list".
std::vector<std::string> unlistedImports(const MachOFile& file, const ExportLists& lists);

/// One line per fault of the ad-hoc code signature, as the kernels read it:
/// the SuperBlob and its index; the requirements (slot 2, empty); the code
/// directories of slot 0 and of slot 0x1000 (magic, version, offsets, flags,
/// identifier, page size, the special slots and every page hash); and that
/// the one in slot 0 is SHA-1 when the minimum iOS is below 9, for the kernels
/// of iOS 7 and 8 refuse any other, and the alternate SHA-256.
std::vector<std::string> codeSignatureFaults(const MachOFile& file, const std::string& identifier);

/// The signature's blobs, one line each, with their file offsets and sizes.
std::vector<std::string> describeSignature(const MachOFile& file);

}  // namespace machocheck
