#include "tests/platform/ios/MachO.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <fmt/format.h>

#include "tests/platform/ios/Sha256.h"

namespace machocheck {
namespace {

constexpr std::uint32_t MH_MAGIC_64 = 0xfeedfacf;
constexpr std::uint32_t LC_SEGMENT_64 = 0x19;
constexpr std::uint32_t LC_SYMTAB = 0x2;
constexpr std::uint32_t LC_LOAD_DYLIB = 0xc;
constexpr std::uint32_t LC_ID_DYLIB = 0xd;
constexpr std::uint32_t LC_LOAD_WEAK_DYLIB = 0x80000018;
constexpr std::uint32_t LC_REEXPORT_DYLIB = 0x8000001f;
constexpr std::uint32_t LC_LOAD_UPWARD_DYLIB = 0x80000023;
constexpr std::uint32_t LC_RPATH = 0x8000001c;
constexpr std::uint32_t LC_CODE_SIGNATURE = 0x1d;
constexpr std::uint32_t LC_VERSION_MIN_IPHONEOS = 0x25;
constexpr std::uint32_t LC_BUILD_VERSION = 0x32;
constexpr std::uint32_t LC_DYLD_INFO = 0x22;
constexpr std::uint32_t LC_DYLD_INFO_ONLY = 0x80000022;
constexpr std::uint32_t LC_DYLD_EXPORTS_TRIE = 0x80000033;
constexpr std::uint32_t S_MOD_INIT_FUNC_POINTERS = 0x9;
constexpr std::uint32_t PLATFORM_IOS = 2;

/// Bounds-checked reads of a file's bytes.
class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

  template <class T>
  T little(std::uint64_t offset) const {
    check(offset, sizeof(T));
    T value;
    std::memcpy(&value, bytes_.data() + offset, sizeof(T));
    return value;
  }
  std::uint32_t big32(std::uint64_t offset) const {
    check(offset, 4);
    const std::uint8_t* p = bytes_.data() + offset;
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
  }
  std::uint8_t byte(std::uint64_t offset) const {
    check(offset, 1);
    return bytes_[offset];
  }
  /// A NUL-terminated string that must end before `limit`.
  std::string string(std::uint64_t offset, std::uint64_t limit) const {
    limit = std::min<std::uint64_t>(limit, bytes_.size());
    std::string text;
    for (std::uint64_t at = offset; at < limit; ++at) {
      if (bytes_[at] == 0) return text;
      text += char(bytes_[at]);
    }
    throw MalformedFile(fmt::format("unterminated string at offset {:#x}", offset));
  }
  std::uint64_t uleb(std::uint64_t& offset) const {
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      std::uint8_t part = byte(offset++);
      value |= std::uint64_t(part & 0x7f) << shift;
      if (!(part & 0x80)) return value;
    }
    throw MalformedFile(fmt::format("overlong number at offset {:#x}", offset));
  }
  void check(std::uint64_t offset, std::uint64_t size) const {
    if (offset > bytes_.size() || size > bytes_.size() - offset) {
      throw MalformedFile(fmt::format("{} bytes at offset {:#x} run past the end of the file", size, offset));
    }
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
};

std::string versionText(std::uint32_t version) {
  return fmt::format("{}.{}", version >> 16, (version >> 8) & 0xff);
}

void walkExportTrie(const Reader& reader, std::uint64_t start, std::uint64_t size, std::uint64_t node,
                    const std::string& prefix, std::set<std::string>& names, int depth) {
  if (node >= size || depth > 512) throw MalformedFile("export trie node out of range");
  std::uint64_t at = start + node;
  std::uint64_t terminalSize = reader.uleb(at);
  if (terminalSize) names.insert(prefix);
  at += terminalSize;
  std::uint8_t children = reader.byte(at++);
  for (int child = 0; child < children; ++child) {
    std::string edge = reader.string(at, start + size);
    at += edge.size() + 1;
    std::uint64_t next = reader.uleb(at);
    walkExportTrie(reader, start, size, next, prefix + edge, names, depth + 1);
  }
}

}  // namespace

MachOFile MachOFile::read(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw MalformedFile("cannot open " + path.string());
  return parse(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(stream), {}));
}

MachOFile MachOFile::parse(std::vector<std::uint8_t> bytes) {
  MachOFile file;
  file.bytes = std::move(bytes);
  Reader reader(file.bytes);
  if (reader.little<std::uint32_t>(0) != MH_MAGIC_64) throw MalformedFile("not a thin 64-bit Mach-O file");
  file.cpuType = reader.little<std::uint32_t>(4);
  file.fileType = reader.little<std::uint32_t>(12);
  std::uint32_t commandCount = reader.little<std::uint32_t>(16);
  std::uint32_t commandsSize = reader.little<std::uint32_t>(20);
  file.flags = reader.little<std::uint32_t>(24);
  reader.check(32, commandsSize);

  struct Symbol {
    std::string name;
    std::uint8_t type;
    std::uint16_t description;
    std::uint64_t value;
  };
  std::vector<Symbol> symbols;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> initialiserSections;  // file offset, size
  std::uint64_t trieOffset = 0, trieSize = 0;

  std::uint64_t at = 32;
  for (std::uint32_t index = 0; index < commandCount; ++index) {
    std::uint32_t command = reader.little<std::uint32_t>(at);
    std::uint32_t size = reader.little<std::uint32_t>(at + 4);
    if (size < 8 || at + size > 32 + std::uint64_t(commandsSize)) {
      throw MalformedFile(fmt::format("load command {} has a bad size", index));
    }
    std::uint64_t end = at + size;
    switch (command) {
      case LC_SEGMENT_64: {
        std::uint32_t sections = reader.little<std::uint32_t>(at + 64);
        for (std::uint32_t section = 0; section < sections; ++section) {
          std::uint64_t header = at + 72 + 80 * std::uint64_t(section);
          if (header + 80 > end) throw MalformedFile("section header past its segment command");
          if ((reader.little<std::uint32_t>(header + 64) & 0xff) == S_MOD_INIT_FUNC_POINTERS) {
            initialiserSections.emplace_back(reader.little<std::uint32_t>(header + 48),
                                             reader.little<std::uint64_t>(header + 40));
          }
        }
        break;
      }
      case LC_ID_DYLIB:
        file.installName = reader.string(at + reader.little<std::uint32_t>(at + 8), end);
        break;
      case LC_LOAD_DYLIB:
      case LC_LOAD_WEAK_DYLIB:
      case LC_REEXPORT_DYLIB:
      case LC_LOAD_UPWARD_DYLIB:
        file.loadedLibraries.push_back(reader.string(at + reader.little<std::uint32_t>(at + 8), end));
        break;
      case LC_RPATH:
        file.runPaths.push_back(reader.string(at + reader.little<std::uint32_t>(at + 8), end));
        break;
      case LC_VERSION_MIN_IPHONEOS:
        file.minimumIOS = versionText(reader.little<std::uint32_t>(at + 8));
        break;
      case LC_BUILD_VERSION:
        if (reader.little<std::uint32_t>(at + 8) == PLATFORM_IOS) {
          file.minimumIOS = versionText(reader.little<std::uint32_t>(at + 12));
        }
        break;
      case LC_CODE_SIGNATURE:
        file.codeSignatureOffset = reader.little<std::uint32_t>(at + 8);
        file.codeSignatureSize = reader.little<std::uint32_t>(at + 12);
        break;
      case LC_DYLD_INFO:
      case LC_DYLD_INFO_ONLY:
        trieOffset = reader.little<std::uint32_t>(at + 40);
        trieSize = reader.little<std::uint32_t>(at + 44);
        break;
      case LC_DYLD_EXPORTS_TRIE:
        trieOffset = reader.little<std::uint32_t>(at + 8);
        trieSize = reader.little<std::uint32_t>(at + 12);
        break;
      case LC_SYMTAB: {
        std::uint32_t symbolOffset = reader.little<std::uint32_t>(at + 8);
        std::uint32_t count = reader.little<std::uint32_t>(at + 12);
        std::uint32_t stringOffset = reader.little<std::uint32_t>(at + 16);
        std::uint32_t stringSize = reader.little<std::uint32_t>(at + 20);
        reader.check(stringOffset, stringSize);
        for (std::uint32_t symbol = 0; symbol < count; ++symbol) {
          std::uint64_t entry = symbolOffset + 16 * std::uint64_t(symbol);
          std::uint32_t name = reader.little<std::uint32_t>(entry);
          if (name >= stringSize) throw MalformedFile(fmt::format("symbol {} has its name outside the strings", symbol));
          symbols.push_back({reader.string(std::uint64_t(stringOffset) + name, std::uint64_t(stringOffset) + stringSize),
                             reader.byte(entry + 4), reader.little<std::uint16_t>(entry + 6),
                             reader.little<std::uint64_t>(entry + 8)});
        }
        break;
      }
      default: break;
    }
    at = end;
  }

  constexpr std::uint8_t N_EXT = 0x01, N_TYPE = 0x0e, N_UNDF = 0x0, N_SECT = 0xe, N_STAB = 0xe0;
  std::map<std::uint64_t, std::string> functions;
  for (const Symbol& symbol : symbols) {
    if (symbol.type & N_STAB) continue;
    if ((symbol.type & N_TYPE) == N_UNDF && (symbol.type & N_EXT)) {
      unsigned ordinal = (symbol.description >> 8) & 0xff;
      std::string library;
      if (ordinal >= 1 && ordinal <= file.loadedLibraries.size()) library = file.loadedLibraries[ordinal - 1];
      else if (ordinal == 0) library = "(this image)";
      else if (ordinal == 0xfe) library = "(the main executable)";
      else if (ordinal == 0xff) library = "(flat lookup)";
      else library = fmt::format("(library ordinal {} of {})", ordinal, file.loadedLibraries.size());
      file.imports.push_back({symbol.name, library});
    } else if ((symbol.type & N_TYPE) == N_SECT) {
      functions.emplace(symbol.value, symbol.name);
    }
  }
  if (trieSize) walkExportTrie(reader, trieOffset, trieSize, 0, "", file.exports, 0);
  for (auto [offset, size] : initialiserSections) {
    for (std::uint64_t entry = 0; entry + 8 <= size; entry += 8) {
      std::uint64_t address = reader.little<std::uint64_t>(offset + entry);
      auto named = functions.find(address);
      file.initialisers.push_back(named != functions.end() ? named->second : fmt::format("{:#x}", address));
    }
  }
  return file;
}

ExportLists readStubs(const std::filesystem::path& folder) {
  ExportLists lists;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".tbd") continue;
    std::ifstream stream(entry.path());
    std::string text((std::istreambuf_iterator<char>(stream)), {});
    auto field = text.find("install-name:");
    if (field == std::string::npos) throw MalformedFile(entry.path().string() + ": no install-name");
    auto lineEnd = text.find('\n', field);
    std::string name = text.substr(field + 13, lineEnd - field - 13);
    std::erase_if(name, [](char c) { return c == '\'' || c == '"' || c == ' '; });
    std::set<std::string>& symbols = lists[name];
    for (auto list = text.find("symbols:"); list != std::string::npos; list = text.find("symbols:", list + 1)) {
      auto open = text.find('[', list), close = text.find(']', list);
      if (open == std::string::npos || close == std::string::npos || close < open) {
        throw MalformedFile(entry.path().string() + ": unclosed symbol list");
      }
      std::istringstream items(text.substr(open + 1, close - open - 1));
      for (std::string item; std::getline(items, item, ',');) {
        std::erase_if(item, [](char c) { return c == ' ' || c == '\n' || c == '\'' || c == '"'; });
        if (!item.empty()) symbols.insert(item);
      }
    }
  }
  return lists;
}

std::vector<std::string> unlistedImports(const MachOFile& file, const ExportLists& lists) {
  std::vector<std::string> faults;
  for (const Import& import : file.imports) {
    auto list = lists.find(import.library);
    if (list == lists.end()) {
      faults.push_back(fmt::format("{} from {}: no list for that library", import.symbol, import.library));
    } else if (!list->second.contains(import.symbol)) {
      faults.push_back(fmt::format("{} from {}: not on that library's list", import.symbol, import.library));
    }
  }
  return faults;
}

std::vector<std::string> codeSignatureFaults(const MachOFile& file) {
  constexpr std::uint32_t superBlobMagic = 0xfade0cc0, codeDirectoryMagic = 0xfade0c02;
  constexpr std::uint32_t adhocFlag = 0x2;
  constexpr std::uint8_t sha256Type = 2;
  if (!file.codeSignatureSize) return {"no code signature"};
  Reader reader(file.bytes);
  std::uint64_t blob = file.codeSignatureOffset;
  std::vector<std::string> faults;
  try {
    if (reader.big32(blob) != superBlobMagic) return {"the signature is not an embedded signature blob"};
    std::uint32_t count = reader.big32(blob + 8);
    std::uint64_t directory = 0;
    for (std::uint32_t index = 0; index < count; ++index) {
      if (reader.big32(blob + 12 + 8 * index) == 0) directory = blob + reader.big32(blob + 16 + 8 * index);
    }
    if (!directory || reader.big32(directory) != codeDirectoryMagic) return {"no code directory"};
    std::uint32_t flags = reader.big32(directory + 12);
    std::uint32_t hashOffset = reader.big32(directory + 16);
    std::uint32_t codeSlots = reader.big32(directory + 28);
    std::uint32_t codeLimit = reader.big32(directory + 32);
    std::uint8_t hashSize = reader.byte(directory + 36);
    std::uint8_t hashType = reader.byte(directory + 37);
    std::uint8_t pageShift = reader.byte(directory + 39);
    if (!(flags & adhocFlag)) faults.push_back("the signature is not ad hoc");
    if (hashType != sha256Type || hashSize != 32) return {fmt::format("hash type {} of size {}, not SHA-256", hashType, hashSize)};
    if (pageShift < 9 || pageShift > 16) return {fmt::format("page size 2^{}", pageShift)};
    if (codeLimit != file.codeSignatureOffset) {
      faults.push_back(fmt::format("the signature covers {:#x} bytes, not the {:#x} before it", codeLimit,
                                   file.codeSignatureOffset));
    }
    std::uint64_t pageSize = std::uint64_t(1) << pageShift;
    if (codeSlots != (codeLimit + pageSize - 1) / pageSize) {
      faults.push_back(fmt::format("{} page hashes for {:#x} bytes", codeSlots, codeLimit));
    }
    reader.check(0, codeLimit);
    for (std::uint32_t page = 0; page < codeSlots && std::uint64_t(page) * pageSize < codeLimit; ++page) {
      std::uint64_t start = page * pageSize;
      std::uint64_t size = std::min<std::uint64_t>(pageSize, codeLimit - start);
      auto digest = sha256(file.bytes.data() + start, size);
      std::uint64_t stored = directory + hashOffset + std::uint64_t(page) * hashSize;
      reader.check(stored, hashSize);
      if (std::memcmp(digest.data(), file.bytes.data() + stored, hashSize) != 0) {
        faults.push_back(fmt::format("page {} (bytes {:#x} to {:#x}) does not match its hash", page, start, start + size));
      }
    }
  } catch (const MalformedFile& error) {
    faults.push_back(std::string("signature: ") + error.what());
  }
  return faults;
}

}  // namespace machocheck
