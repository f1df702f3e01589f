#include "platform/ios/codesign/CodeSignature.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include <fmt/format.h>

#include "platform/ios/codesign/Digest.h"

namespace codesign {
namespace {

constexpr std::uint32_t MH_MAGIC_64 = 0xfeedfacf;
constexpr std::uint32_t LC_SEGMENT_64 = 0x19;
constexpr std::uint32_t LC_CODE_SIGNATURE = 0x1d;
constexpr std::uint32_t headerSize = 32;
constexpr std::uint32_t linkeditDataCommandSize = 16;
constexpr std::uint64_t pageSize = std::uint64_t(1) << pageShift;
/// arm64 iOS maps 16 KiB pages; segments are sized in those.
constexpr std::uint64_t segmentAlignment = 0x4000;
constexpr std::uint32_t codeDirectoryHeaderSize = 48;
constexpr std::uint32_t superBlobHeaderSize = 12;

std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

template <class T>
T little(const std::vector<std::uint8_t>& bytes, std::uint64_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

template <class T>
void putLittle(std::vector<std::uint8_t>& bytes, std::uint64_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof(T));
}

void putBig(std::vector<std::uint8_t>& bytes, std::uint64_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = std::uint8_t(value >> (24 - 8 * i));
}

void appendBig(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 4);
  putBig(bytes, bytes.size() - 4, value);
}

struct Layout {
  std::uint64_t linkeditCommand = 0;
  std::optional<std::uint64_t> signatureCommand;
  /// Where the load commands end and where the first section's bytes begin.
  std::uint64_t commandsEnd = 0;
  std::uint64_t firstSectionData = 0;
};

orvane::Result<Layout> readLayout(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < headerSize || little<std::uint32_t>(bytes, 0) != MH_MAGIC_64) {
    return orvane::Error("not a thin 64-bit Mach-O file");
  }
  std::uint32_t commandCount = little<std::uint32_t>(bytes, 16);
  std::uint64_t commandsEnd = headerSize + std::uint64_t(little<std::uint32_t>(bytes, 20));
  if (commandsEnd > bytes.size()) return orvane::Error("the load commands run past the end of the file");
  Layout layout;
  layout.commandsEnd = commandsEnd;
  layout.firstSectionData = bytes.size();
  std::optional<std::uint64_t> linkedit;
  std::uint64_t at = headerSize;
  for (std::uint32_t index = 0; index < commandCount; ++index) {
    if (at + 8 > commandsEnd) return orvane::Error(fmt::format("load command {} runs past the commands", index));
    std::uint32_t command = little<std::uint32_t>(bytes, at);
    std::uint32_t size = little<std::uint32_t>(bytes, at + 4);
    if (size < 8 || size % 8 || at + size > commandsEnd) {
      return orvane::Error(fmt::format("load command {} has a bad size", index));
    }
    if (command == LC_SEGMENT_64) {
      if (size < 72) return orvane::Error(fmt::format("segment command {} is too short", index));
      std::uint32_t sections = little<std::uint32_t>(bytes, at + 64);
      if (72 + 80 * std::uint64_t(sections) > size) {
        return orvane::Error(fmt::format("segment command {} has more sections than room", index));
      }
      for (std::uint32_t section = 0; section < sections; ++section) {
        std::uint64_t header = at + 72 + 80 * std::uint64_t(section);
        std::uint32_t offset = little<std::uint32_t>(bytes, header + 48);
        std::uint8_t type = little<std::uint32_t>(bytes, header + 64) & 0xff;
        bool zeroFill = type == 0x1 || type == 0xc || type == 0x12;
        if (!zeroFill && offset && little<std::uint64_t>(bytes, header + 40)) {
          layout.firstSectionData = std::min<std::uint64_t>(layout.firstSectionData, offset);
        }
      }
      if (std::memcmp(bytes.data() + at + 8, "__LINKEDIT\0", 11) == 0) {
        if (linkedit) return orvane::Error("two __LINKEDIT segments");
        linkedit = at;
      }
    } else if (command == LC_CODE_SIGNATURE) {
      if (size != linkeditDataCommandSize) return orvane::Error("LC_CODE_SIGNATURE has a bad size");
      if (layout.signatureCommand) return orvane::Error("two LC_CODE_SIGNATURE commands");
      layout.signatureCommand = at;
    }
    at += size;
  }
  if (!linkedit) return orvane::Error("no __LINKEDIT segment");
  layout.linkeditCommand = *linkedit;
  return layout;
}

std::vector<std::uint8_t> requirementsBlob() {
  std::vector<std::uint8_t> blob;
  appendBig(blob, requirementsMagic);
  appendBig(blob, 12);
  appendBig(blob, 0);
  return blob;
}

std::uint32_t codeDirectorySize(const std::string& identifier, std::uint32_t hashSize, std::uint32_t codeSlots) {
  return codeDirectoryHeaderSize + std::uint32_t(identifier.size()) + 1 + (specialSlots + codeSlots) * hashSize;
}

template <std::size_t HashSize>
std::vector<std::uint8_t> codeDirectory(const std::vector<std::uint8_t>& file, std::uint32_t codeLimit,
                                        const std::string& identifier, std::uint8_t hashType,
                                        const std::vector<std::uint8_t>& requirements,
                                        std::array<std::uint8_t, HashSize> (*hash)(const std::uint8_t*, std::size_t)) {
  std::uint32_t codeSlots = std::uint32_t(alignUp(codeLimit, pageSize) / pageSize);
  std::uint32_t hashOffset = codeDirectoryHeaderSize + std::uint32_t(identifier.size()) + 1 + specialSlots * HashSize;
  std::vector<std::uint8_t> blob;
  appendBig(blob, codeDirectoryMagic);
  appendBig(blob, codeDirectorySize(identifier, HashSize, codeSlots));
  appendBig(blob, codeDirectoryVersion);
  appendBig(blob, adHocFlag);
  appendBig(blob, hashOffset);
  appendBig(blob, codeDirectoryHeaderSize);
  appendBig(blob, specialSlots);
  appendBig(blob, codeSlots);
  appendBig(blob, codeLimit);
  blob.insert(blob.end(), {std::uint8_t(HashSize), hashType, 0, pageShift});
  appendBig(blob, 0);  // spare
  appendBig(blob, 0);  // no scatter
  blob.insert(blob.end(), identifier.begin(), identifier.end());
  blob.push_back(0);
  // Slot -2 then slot -1 (no Info.plist: zeros).
  auto requirementsHash = hash(requirements.data(), requirements.size());
  blob.insert(blob.end(), requirementsHash.begin(), requirementsHash.end());
  blob.insert(blob.end(), HashSize, 0);
  for (std::uint64_t start = 0; start < codeLimit; start += pageSize) {
    auto pageHash = hash(file.data() + start, std::min<std::uint64_t>(pageSize, codeLimit - start));
    blob.insert(blob.end(), pageHash.begin(), pageHash.end());
  }
  return blob;
}

}  // namespace

orvane::Result<SignedFile> signAdHoc(std::vector<std::uint8_t> file, const std::string& identifier) {
  if (identifier.empty() || identifier.find('\0') != std::string::npos) {
    return orvane::Error("the identifier must be a non-empty string without NUL");
  }
  auto layout = readLayout(file);
  if (!layout) return layout.error();
  std::uint64_t linkedit = layout->linkeditCommand;
  std::uint64_t linkeditOffset = little<std::uint64_t>(file, linkedit + 40);
  std::uint64_t linkeditSize = little<std::uint64_t>(file, linkedit + 48);
  std::uint64_t linkeditEnd = linkeditOffset + linkeditSize;
  if (linkeditOffset > file.size() || linkeditSize > file.size() - linkeditOffset) {
    return orvane::Error("__LINKEDIT runs past the end of the file");
  }

  std::uint64_t codeLimit;
  std::uint64_t signatureCommand;
  if (layout->signatureCommand) {
    signatureCommand = *layout->signatureCommand;
    std::uint64_t offset = little<std::uint32_t>(file, signatureCommand + 8);
    std::uint64_t size = little<std::uint32_t>(file, signatureCommand + 12);
    if (offset < linkeditOffset || offset + size > linkeditEnd || linkeditEnd != file.size()) {
      return orvane::Error("the old signature is not at the end of __LINKEDIT");
    }
    codeLimit = offset;
  } else {
    if (linkeditEnd != file.size()) return orvane::Error("bytes follow __LINKEDIT");
    signatureCommand = layout->commandsEnd;
    if (layout->firstSectionData < signatureCommand + linkeditDataCommandSize) {
      return orvane::Error("no room after the load commands for LC_CODE_SIGNATURE: link with -headerpad");
    }
    if (std::any_of(file.begin() + signatureCommand, file.begin() + signatureCommand + linkeditDataCommandSize,
                    [](std::uint8_t byte) { return byte != 0; })) {
      return orvane::Error("the padding after the load commands is not free");
    }
    putLittle<std::uint32_t>(file, 16, little<std::uint32_t>(file, 16) + 1);
    putLittle<std::uint32_t>(file, 20, little<std::uint32_t>(file, 20) + linkeditDataCommandSize);
    putLittle<std::uint32_t>(file, signatureCommand, LC_CODE_SIGNATURE);
    putLittle<std::uint32_t>(file, signatureCommand + 4, linkeditDataCommandSize);
    // The signature starts 16-byte aligned, as the linkers place it.
    codeLimit = alignUp(file.size(), 16);
  }

  // Every size follows from the code limit and the identifier, so the load
  // commands are final before the pages (the first of which holds them) are hashed.
  std::vector<std::uint8_t> requirements = requirementsBlob();
  std::uint32_t codeSlots = std::uint32_t(alignUp(codeLimit, pageSize) / pageSize);
  std::uint32_t primarySize = codeDirectorySize(identifier, 20, codeSlots);
  std::uint32_t alternateSize = codeDirectorySize(identifier, 32, codeSlots);
  std::uint32_t primaryAt = superBlobHeaderSize + 3 * 8;
  std::uint32_t requirementsAt = std::uint32_t(alignUp(primaryAt + primarySize, 4));
  std::uint32_t alternateAt = std::uint32_t(alignUp(requirementsAt + requirements.size(), 4));
  std::uint32_t superBlobSize = alternateAt + alternateSize;
  std::uint64_t signatureSize = alignUp(superBlobSize, 16);
  if (codeLimit + signatureSize > UINT32_MAX) return orvane::Error("the file is too large to sign");

  putLittle<std::uint32_t>(file, signatureCommand + 8, std::uint32_t(codeLimit));
  putLittle<std::uint32_t>(file, signatureCommand + 12, std::uint32_t(signatureSize));
  std::uint64_t newLinkeditSize = codeLimit + signatureSize - linkeditOffset;
  putLittle<std::uint64_t>(file, linkedit + 48, newLinkeditSize);
  if (little<std::uint64_t>(file, linkedit + 32) < newLinkeditSize) {
    putLittle<std::uint64_t>(file, linkedit + 32, alignUp(newLinkeditSize, segmentAlignment));
  }
  file.resize(codeLimit, 0);

  std::vector<std::uint8_t> primary = codeDirectory<20>(file, std::uint32_t(codeLimit), identifier, sha1Type,
                                                        requirements, &sha1);
  std::vector<std::uint8_t> alternate = codeDirectory<32>(file, std::uint32_t(codeLimit), identifier, sha256Type,
                                                          requirements, &sha256);
  std::vector<std::uint8_t> superBlob(signatureSize, 0);
  putBig(superBlob, 0, superBlobMagic);
  putBig(superBlob, 4, superBlobSize);
  putBig(superBlob, 8, 3);
  const std::pair<std::uint32_t, std::uint32_t> index[] = {
      {codeDirectorySlot, primaryAt}, {requirementsSlot, requirementsAt}, {alternateCodeDirectorySlot, alternateAt}};
  for (std::size_t entry = 0; entry < 3; ++entry) {
    putBig(superBlob, superBlobHeaderSize + 8 * entry, index[entry].first);
    putBig(superBlob, superBlobHeaderSize + 8 * entry + 4, index[entry].second);
  }
  std::copy(primary.begin(), primary.end(), superBlob.begin() + primaryAt);
  std::copy(requirements.begin(), requirements.end(), superBlob.begin() + requirementsAt);
  std::copy(alternate.begin(), alternate.end(), superBlob.begin() + alternateAt);
  file.insert(file.end(), superBlob.begin(), superBlob.end());

  std::uint32_t base = std::uint32_t(codeLimit);
  SignedFile result{std::move(file), {"signature", base, std::uint32_t(signatureSize)}, {}};
  result.blobs = {{"SuperBlob (header and index)", base, primaryAt},
                  {"CodeDirectory SHA-1 (slot 0)", base + primaryAt, std::uint32_t(primary.size())},
                  {"requirements (slot 2)", base + requirementsAt, std::uint32_t(requirements.size())},
                  {"CodeDirectory SHA-256 (slot 0x1000)", base + alternateAt, std::uint32_t(alternate.size())}};
  return result;
}

}  // namespace codesign
