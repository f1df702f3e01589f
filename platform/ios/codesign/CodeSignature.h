#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result/Result.h"

// An ad-hoc code signature that every iOS from 7 on accepts: a SHA-1 code
// directory first (the only kind the kernels of iOS 7 and 8 take), an empty
// requirements set, and a SHA-256 code directory as the alternate that later
// systems prefer.

namespace codesign {

constexpr std::uint32_t superBlobMagic = 0xfade0cc0;
constexpr std::uint32_t requirementsMagic = 0xfade0c01;
constexpr std::uint32_t codeDirectoryMagic = 0xfade0c02;
constexpr std::uint32_t codeDirectorySlot = 0;
constexpr std::uint32_t requirementsSlot = 2;
constexpr std::uint32_t alternateCodeDirectorySlot = 0x1000;
/// Scatter support, the newest version the kernels of iOS 7 and 8 were written for.
constexpr std::uint32_t codeDirectoryVersion = 0x20100;
constexpr std::uint32_t adHocFlag = 0x2;
constexpr std::uint8_t sha1Type = 1, sha256Type = 2;
constexpr std::uint8_t pageShift = 12;
/// Special slots before the page hashes: -1 Info.plist (none here), -2 requirements.
constexpr std::uint32_t specialSlots = 2;

struct Blob {
  std::string name;
  /// From the start of the file.
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

struct SignedFile {
  std::vector<std::uint8_t> bytes;
  /// The signature's place as LC_CODE_SIGNATURE gives it; `blobs` are inside it.
  Blob signature;
  std::vector<Blob> blobs;
};

/// Signs a thin 64-bit Mach-O file. An existing signature is replaced; without
/// one, LC_CODE_SIGNATURE goes into the padding after the load commands, which
/// must hold 16 free bytes. __LINKEDIT grows to cover the signature.
orvane::Result<SignedFile> signAdHoc(std::vector<std::uint8_t> file, const std::string& identifier);

}  // namespace codesign
