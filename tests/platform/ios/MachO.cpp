#include "tests/platform/ios/MachO.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <fmt/format.h>

#include "platform/ios/codesign/Digest.h"

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

/// A segment or section name: 16 bytes, NUL-padded.
std::string fixedName(const Reader& reader, std::uint64_t offset) {
  reader.check(offset, 16);
  std::string name;
  for (int i = 0; i < 16 && reader.byte(offset + i); ++i) name += char(reader.byte(offset + i));
  return name;
}

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
  file.cpuSubtype = reader.little<std::uint32_t>(8) & 0x00ffffff;
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
        if (size < 72) throw MalformedFile(fmt::format("segment command {} is too short", index));
        if (fixedName(reader, at + 8) == "__LINKEDIT") {
          file.linkeditVMSize = reader.little<std::uint64_t>(at + 32);
          file.linkeditFileOffset = reader.little<std::uint64_t>(at + 40);
          file.linkeditFileSize = reader.little<std::uint64_t>(at + 48);
        }
        std::uint32_t sections = reader.little<std::uint32_t>(at + 64);
        for (std::uint32_t section = 0; section < sections; ++section) {
          std::uint64_t header = at + 72 + 80 * std::uint64_t(section);
          if (header + 80 > end) throw MalformedFile("section header past its segment command");
          file.sections.push_back({fixedName(reader, header + 16), fixedName(reader, header),
                                   reader.little<std::uint32_t>(header + 48), reader.little<std::uint64_t>(header + 40)});
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

bool MachOFile::hasSection(const std::string& segment, const std::string& name) const {
  return std::any_of(sections.begin(), sections.end(),
                     [&](const Section& section) { return section.segment == segment && section.name == name; });
}

std::vector<std::string> MachOFile::cStrings() const {
  std::vector<std::string> strings;
  Reader reader(bytes);
  for (const Section& section : sections) {
    if (section.segment != "__TEXT" || section.name != "__cstring") continue;
    reader.check(section.fileOffset, section.size);
    for (std::uint64_t at = section.fileOffset, end = at + section.size; at < end;) {
      strings.push_back(reader.string(at, end));
      at += strings.back().size() + 1;
    }
  }
  return strings;
}

namespace {

// The values as the kernels define them, written here apart from the signer's
// so that a wrong constant there cannot pass unseen.
constexpr std::uint32_t superBlobMagic = 0xfade0cc0, requirementsMagic = 0xfade0c01, codeDirectoryMagic = 0xfade0c02;
constexpr std::uint32_t adHocFlag = 0x2;
constexpr std::uint32_t earliestVersion = 0x20001, scatterVersion = 0x20100, latestVersion = 0x20400;
constexpr std::uint8_t sha1Type = 1, sha256Type = 2;
constexpr std::uint8_t pageShift4K = 12;

struct IndexEntry {
  std::uint32_t slot;
  std::uint64_t offset;  // in the file
  std::uint32_t length;
};

/// The SuperBlob's index, each blob's magic and length checked to lie inside it.
std::vector<IndexEntry> readIndex(const MachOFile& file, std::vector<std::string>& faults) {
  Reader reader(file.bytes);
  std::uint64_t blob = file.codeSignatureOffset;
  if (reader.big32(blob) != superBlobMagic) throw MalformedFile("not an embedded signature (SuperBlob)");
  std::uint32_t length = reader.big32(blob + 4);
  std::uint32_t count = reader.big32(blob + 8);
  if (length > file.codeSignatureSize) {
    faults.push_back(fmt::format("the SuperBlob's {} bytes overrun LC_CODE_SIGNATURE's {}", length, file.codeSignatureSize));
  }
  if (12 + 8 * std::uint64_t(count) > length) throw MalformedFile(fmt::format("{} index entries overrun the SuperBlob", count));
  std::vector<IndexEntry> entries;
  for (std::uint32_t index = 0; index < count; ++index) {
    std::uint32_t slot = reader.big32(blob + 12 + 8 * index);
    std::uint32_t offset = reader.big32(blob + 16 + 8 * index);
    if (std::uint64_t(offset) + 8 > length || offset + std::uint64_t(reader.big32(blob + offset + 4)) > length) {
      faults.push_back(fmt::format("the blob of slot {:#x} runs past the SuperBlob", slot));
      continue;
    }
    entries.push_back({slot, blob + offset, reader.big32(blob + offset + 4)});
  }
  return entries;
}

std::vector<std::uint8_t> hashWith(std::uint8_t type, const std::uint8_t* bytes, std::size_t size) {
  if (type == sha1Type) {
    auto digest = codesign::sha1(bytes, size);
    return {digest.begin(), digest.end()};
  }
  auto digest = codesign::sha256(bytes, size);
  return {digest.begin(), digest.end()};
}

/// One code directory's faults, each line starting with `name`.
void checkCodeDirectory(const MachOFile& file, const IndexEntry& entry, const std::string& name,
                        std::uint8_t wantedType, const std::string& identifier,
                        const std::vector<std::uint8_t>& requirements, std::vector<std::string>& faults) {
  Reader reader(file.bytes);
  std::uint64_t directory = entry.offset;
  auto fault = [&](const std::string& what) { faults.push_back(name + ": " + what); };
  if (reader.big32(directory) != codeDirectoryMagic) return fault("not a code directory");
  std::uint32_t length = entry.length;
  std::uint32_t version = reader.big32(directory + 8);
  std::uint32_t flags = reader.big32(directory + 12);
  std::uint32_t hashOffset = reader.big32(directory + 16);
  std::uint32_t identOffset = reader.big32(directory + 20);
  std::uint32_t special = reader.big32(directory + 24);
  std::uint32_t codeSlots = reader.big32(directory + 28);
  std::uint32_t codeLimit = reader.big32(directory + 32);
  std::uint8_t hashSize = reader.byte(directory + 36);
  std::uint8_t hashType = reader.byte(directory + 37);
  std::uint8_t pageShift = reader.byte(directory + 39);
  std::uint32_t headerSize = version >= scatterVersion ? 48 : 44;

  if (version < earliestVersion || version > latestVersion) fault(fmt::format("unknown version {:#x}", version));
  if (version >= scatterVersion && reader.big32(directory + 44)) fault("scatter vectors, which nothing here writes");
  if (!(flags & adHocFlag)) fault("not ad hoc");
  std::uint8_t sizeForType = hashType == sha1Type ? 20 : hashType == sha256Type ? 32 : 0;
  if (!sizeForType || hashSize != sizeForType) {
    return fault(fmt::format("hash type {} of size {}", hashType, hashSize));
  }
  if (hashType != wantedType) {
    return fault(fmt::format("{} where {} belongs", hashType == sha1Type ? "SHA-1" : "SHA-256",
                             wantedType == sha1Type ? "SHA-1" : "SHA-256"));
  }
  if (pageShift != pageShift4K) return fault(fmt::format("page size 2^{}, not 4 KiB", pageShift));
  std::uint64_t specialStart = hashOffset - std::uint64_t(special) * hashSize;
  if (identOffset < headerSize || special < 2 || hashOffset < std::uint64_t(special) * hashSize ||
      specialStart <= identOffset || hashOffset + std::uint64_t(codeSlots) * hashSize > length) {
    return fault(fmt::format("offsets out of order: identifier {}, {} special and {} page hashes from {}, length {}",
                             identOffset, special, codeSlots, hashOffset, length));
  }
  std::string ident = reader.string(directory + identOffset, directory + specialStart);
  if (ident != identifier) fault(fmt::format("identifier \"{}\", not \"{}\"", ident, identifier));

  auto slotBytes = [&](std::int64_t slot) {
    std::uint64_t at = directory + hashOffset + slot * std::int64_t(hashSize);
    reader.check(at, hashSize);
    return std::vector<std::uint8_t>(file.bytes.begin() + at, file.bytes.begin() + at + hashSize);
  };
  if (slotBytes(-1) != std::vector<std::uint8_t>(hashSize, 0)) fault("special slot -1 (Info.plist) holds a hash");
  if (slotBytes(-2) != hashWith(hashType, requirements.data(), requirements.size())) {
    fault("special slot -2 is not the hash of the requirements");
  }

  if (codeLimit != file.codeSignatureOffset) {
    fault(fmt::format("covers {:#x} bytes, not the {:#x} before the signature", codeLimit, file.codeSignatureOffset));
  }
  constexpr std::uint64_t pageSize = std::uint64_t(1) << pageShift4K;
  if (codeSlots != (std::uint64_t(codeLimit) + pageSize - 1) / pageSize) {
    fault(fmt::format("{} page hashes for {:#x} bytes", codeSlots, codeLimit));
  }
  reader.check(0, codeLimit);
  for (std::uint32_t page = 0; page < codeSlots && std::uint64_t(page) * pageSize < codeLimit; ++page) {
    std::uint64_t start = page * pageSize;
    std::uint64_t size = std::min<std::uint64_t>(pageSize, codeLimit - start);
    if (slotBytes(page) != hashWith(hashType, file.bytes.data() + start, size)) {
      fault(fmt::format("page {} (bytes {:#x} to {:#x}) does not match its hash", page, start, start + size));
    }
  }
}

bool belowIOS9(const std::string& minimum) {
  try {
    return std::stoi(minimum) < 9;
  } catch (const std::exception&) {
    return true;  // unknown: hold it to the strictest kernels
  }
}

}  // namespace

std::vector<std::string> codeSignatureFaults(const MachOFile& file, const std::string& identifier) {
  if (!file.codeSignatureSize) return {"no code signature"};
  std::vector<std::string> faults;
  std::uint64_t signatureEnd = std::uint64_t(file.codeSignatureOffset) + file.codeSignatureSize;
  if (file.codeSignatureOffset < file.linkeditFileOffset ||
      signatureEnd > file.linkeditFileOffset + file.linkeditFileSize || file.linkeditFileSize > file.linkeditVMSize) {
    faults.push_back("the signature lies outside __LINKEDIT, or __LINKEDIT outside its mapping");
  }
  try {
    Reader(file.bytes).check(file.codeSignatureOffset, file.codeSignatureSize);
    std::vector<IndexEntry> entries = readIndex(file, faults);
    auto find = [&](std::uint32_t slot) -> const IndexEntry* {
      for (const IndexEntry& entry : entries) {
        if (entry.slot == slot) return &entry;
      }
      return nullptr;
    };
    const IndexEntry* requirements = find(2);
    std::vector<std::uint8_t> requirementsBytes;
    Reader reader(file.bytes);
    if (!requirements) {
      faults.push_back("no requirements (slot 2)");
    } else {
      requirementsBytes.assign(file.bytes.begin() + requirements->offset,
                               file.bytes.begin() + requirements->offset + requirements->length);
      if (reader.big32(requirements->offset) != requirementsMagic || requirements->length != 12 ||
          reader.big32(requirements->offset + 8) != 0) {
        faults.push_back("the requirements (slot 2) are not the empty set");
      }
    }
    // The kernels of iOS 7 and 8 read slot 0 only and refuse all but SHA-1 there.
    bool early = belowIOS9(file.minimumIOS);
    std::string primaryName = "code directory (slot 0)";
    if (const IndexEntry* primary = find(0)) {
      std::size_t before = faults.size();
      checkCodeDirectory(file, *primary, primaryName, early ? sha1Type : reader.byte(primary->offset + 37), identifier,
                         requirementsBytes, faults);
      if (early && faults.size() > before && faults[before].find("where SHA-1 belongs") != std::string::npos) {
        faults[before] += fmt::format(": the kernels of iOS 7 and 8 refuse it (minimum iOS {})", file.minimumIOS);
      }
    } else {
      faults.push_back("no code directory (slot 0)");
    }
    if (const IndexEntry* alternate = find(0x1000)) {
      checkCodeDirectory(file, *alternate, "code directory (slot 0x1000)", sha256Type, identifier, requirementsBytes,
                         faults);
    } else {
      faults.push_back("no alternate SHA-256 code directory (slot 0x1000)");
    }
  } catch (const MalformedFile& error) {
    faults.push_back(std::string("signature: ") + error.what());
  }
  return faults;
}

std::vector<std::string> describeSignature(const MachOFile& file) {
  std::vector<std::string> lines{fmt::format("LC_CODE_SIGNATURE: {:#x}, {} bytes (file {} bytes, __LINKEDIT {:#x} + {})",
                                             file.codeSignatureOffset, file.codeSignatureSize, file.bytes.size(),
                                             file.linkeditFileOffset, file.linkeditFileSize)};
  std::vector<std::string> faults;
  Reader reader(file.bytes);
  try {
    for (const IndexEntry& entry : readIndex(file, faults)) {
      std::string what = fmt::format("magic {:#x}", reader.big32(entry.offset));
      if (reader.big32(entry.offset) == codeDirectoryMagic) {
        what = fmt::format("code directory v{:#x}, {}, {} special + {} page hashes, page 2^{}, flags {:#x}",
                           reader.big32(entry.offset + 8), reader.byte(entry.offset + 37) == sha1Type ? "SHA-1" : "SHA-256",
                           reader.big32(entry.offset + 24), reader.big32(entry.offset + 28), reader.byte(entry.offset + 39),
                           reader.big32(entry.offset + 12));
      } else if (reader.big32(entry.offset) == requirementsMagic) {
        what = fmt::format("requirements, {} entries", reader.big32(entry.offset + 8));
      }
      lines.push_back(fmt::format("slot {:#06x} at {:#x} (+{}), {} bytes: {}", entry.slot, entry.offset,
                                  entry.offset - file.codeSignatureOffset, entry.length, what));
    }
  } catch (const MalformedFile& error) {
    lines.push_back(std::string("signature: ") + error.what());
  }
  return lines;
}

}  // namespace machocheck
