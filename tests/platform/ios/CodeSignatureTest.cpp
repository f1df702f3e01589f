#include <cstring>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ios/codesign/CodeSignature.h"
#include "platform/ios/codesign/Digest.h"
#include "tests/platform/ios/MachO.h"
#include "tests/platform/ios/MachOSamples.h"

using testing::HasSubstr;
using testing::IsEmpty;

namespace {

template <std::size_t Size>
std::string hex(const std::array<std::uint8_t, Size>& digest) {
  std::string text;
  for (std::uint8_t byte : digest) text += fmt::format("{:02x}", byte);
  return text;
}

template <class Hash>
std::string hashOf(Hash hash, const std::string& text) {
  return hex(hash(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(Digest, MatchesTheStandardsVectorsAcrossBlockBoundaries) {
  // 55, 56 and 64 bytes: the length still fits the last block, needs one
  // more, or follows a whole block.
  std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(hashOf(codesign::sha1, ""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(hashOf(codesign::sha1, "abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(hashOf(codesign::sha1, two), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(hashOf(codesign::sha1, std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(hashOf(codesign::sha1, std::string(55, 'x')), "cef734ba81a024479e09eb5a75b6ddae62e6abf1");
  EXPECT_EQ(hashOf(codesign::sha256, std::string(64, 'x')),
            "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c");
  EXPECT_EQ(hashOf(codesign::sha256, ""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hashOf(codesign::sha256, "abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hashOf(codesign::sha256, two), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(hashOf(codesign::sha256, std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

using machosamples::put;
using machosamples::unsignedDylib;

TEST(CodeSignature, AddsASignatureThatTheCheckerAccepts) {
  std::vector<std::uint8_t> input = unsignedDylib();
  auto signedFile = codesign::signAdHoc(input, "Orvane.dylib");
  ASSERT_TRUE(signedFile) << signedFile.error().message();
  machocheck::MachOFile file = machocheck::MachOFile::parse(signedFile->bytes);
  file.minimumIOS = "7.0";
  EXPECT_THAT(codeSignatureFaults(file, "Orvane.dylib"), IsEmpty());
  // Placed 16-byte aligned after __LINKEDIT's old end, which grows over it
  // and keeps its mapping whole.
  EXPECT_EQ(file.codeSignatureOffset, 0x5240u);
  EXPECT_EQ(signedFile->signature.offset, file.codeSignatureOffset);
  EXPECT_EQ(file.linkeditFileOffset + file.linkeditFileSize, signedFile->bytes.size());
  EXPECT_EQ(file.linkeditVMSize, 0x4000u);
  // Everything before the signature is the input, but for the new load command and the header's count of them.
  std::vector<std::uint8_t> before(signedFile->bytes.begin(), signedFile->bytes.begin() + input.size());
  EXPECT_EQ(before[16], input[16] + 1);
  before[16] = input[16], before[20] = input[20];
  std::fill(before.begin() + 32 + 224, before.begin() + 32 + 240, 0);
  std::memcpy(before.data() + 32 + 152 + 32, input.data() + 32 + 152 + 32, 8 + 8 + 8);  // __LINKEDIT's sizes
  EXPECT_TRUE(before == input);
  ASSERT_EQ(signedFile->blobs.size(), 4u);
  EXPECT_EQ(signedFile->blobs[1].offset, file.codeSignatureOffset + 36);
}

TEST(CodeSignature, SigningAgainGivesTheSameFile) {
  // The second run replaces the signature in place instead of adding one.
  auto first = codesign::signAdHoc(unsignedDylib(), "Orvane");
  ASSERT_TRUE(first);
  auto second = codesign::signAdHoc(first->bytes, "Orvane");
  ASSERT_TRUE(second) << second.error().message();
  EXPECT_TRUE(second->bytes == first->bytes);
  auto renamed = codesign::signAdHoc(first->bytes, "a.much.longer.identifier.than.before");
  ASSERT_TRUE(renamed);
  machocheck::MachOFile file = machocheck::MachOFile::parse(renamed->bytes);
  EXPECT_THAT(codeSignatureFaults(file, "a.much.longer.identifier.than.before"), IsEmpty());
}

TEST(CodeSignature, SignsFilesEndingInAPartialPage) {
  for (std::size_t linkedit : {std::size_t(1), std::size_t(0x1000 - 0x10), std::size_t(0x3001)}) {
    auto signedFile = codesign::signAdHoc(unsignedDylib(0x200, linkedit), "x");
    ASSERT_TRUE(signedFile) << linkedit;
    EXPECT_THAT(codeSignatureFaults(machocheck::MachOFile::parse(signedFile->bytes), "x"), IsEmpty()) << linkedit;
  }
}

TEST(CodeSignature, RefusesWhatItCannotSignWithTheReason) {
  auto reason = [](std::vector<std::uint8_t> bytes) {
    auto signedFile = codesign::signAdHoc(std::move(bytes), "x");
    return signedFile ? std::string("signed") : signedFile.error().message();
  };
  // The load commands end at 0x100: a section right there leaves no room.
  EXPECT_THAT(reason(unsignedDylib(0x100 + 8)), HasSubstr("link with -headerpad"));
  EXPECT_EQ(reason(unsignedDylib(0x100 + 16)), "signed");
  std::vector<std::uint8_t> trailing = unsignedDylib();
  trailing.push_back(0);
  EXPECT_EQ(reason(trailing), "bytes follow __LINKEDIT");
  EXPECT_EQ(reason({}), "not a thin 64-bit Mach-O file");
  std::vector<std::uint8_t> bytes = unsignedDylib();
  put<std::uint32_t>(bytes, 20, 0x7fffffff);
  EXPECT_EQ(reason(bytes), "the load commands run past the end of the file");
  bytes = unsignedDylib();
  put<std::uint32_t>(bytes, 32 + 4, 0xfffffff8);
  EXPECT_EQ(reason(bytes), "load command 0 has a bad size");
  bytes = unsignedDylib();
  put<std::uint32_t>(bytes, 32 + 64, 1000);
  EXPECT_EQ(reason(bytes), "segment command 0 has more sections than room");
  bytes = unsignedDylib();
  put<std::uint64_t>(bytes, 32 + 152 + 48, 0xffffffffffff0000);
  EXPECT_EQ(reason(bytes), "__LINKEDIT runs past the end of the file");
  bytes = unsignedDylib();
  std::memcpy(bytes.data() + 32 + 152 + 8, "__DATA\0\0\0\0", 10);
  EXPECT_EQ(reason(bytes), "no __LINKEDIT segment");
  EXPECT_EQ(codesign::signAdHoc(unsignedDylib(), "").error().message(),
            "the identifier must be a non-empty string without NUL");
}

TEST(CodeSignature, SurvivesEveryTruncationOfAFile) {
  // A cut anywhere is refused with a reason, or (a cut in __LINKEDIT) signed whole.
  std::vector<std::uint8_t> bytes = unsignedDylib();
  auto signedFile = codesign::signAdHoc(bytes, "x");
  ASSERT_TRUE(signedFile);
  for (std::size_t size = 0; size < signedFile->bytes.size(); size += 97) {
    std::vector<std::uint8_t> head(signedFile->bytes.begin(), signedFile->bytes.begin() + size);
    auto result = codesign::signAdHoc(head, "x");
    if (result) {
      EXPECT_THAT(codeSignatureFaults(machocheck::MachOFile::parse(result->bytes), "x"), IsEmpty()) << size;
    }
  }
}

}  // namespace
