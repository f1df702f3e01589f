// Signs the device binaries ad hoc, as a build step:
//   orvane-codesign [--identifier NAME] INPUT OUTPUT
// The identifier defaults to OUTPUT's file name. OUTPUT is replaced whole or
// not at all.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ios/codesign/CodeSignature.h"

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "orvane-codesign: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string identifier;
  if (arguments.size() == 4 && arguments[0] == "--identifier") {
    identifier = arguments[1];
    arguments.erase(arguments.begin(), arguments.begin() + 2);
  }
  if (arguments.size() != 2) {
    std::fprintf(stderr, "usage: orvane-codesign [--identifier NAME] INPUT OUTPUT\n");
    return 2;
  }
  std::filesystem::path input = arguments[0], output = arguments[1];
  if (identifier.empty()) identifier = output.filename().string();

  std::ifstream stream(input, std::ios::binary);
  if (!stream) return fail("cannot read " + input.string());
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(stream)), {});
  auto signedFile = codesign::signAdHoc(std::move(bytes), identifier);
  if (!signedFile) return fail(input.string() + ": " + signedFile.error().message());

  std::filesystem::path temporary = output;
  temporary += ".signing";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(signedFile->bytes.data()), std::streamsize(signedFile->bytes.size()));
    if (!out.flush()) {
      std::filesystem::remove(temporary);
      return fail("cannot write " + temporary.string());
    }
  }
  std::error_code error;
  std::filesystem::permissions(temporary, std::filesystem::perms(0755), error);
  std::filesystem::rename(temporary, output, error);
  if (error) {
    std::filesystem::remove(temporary);
    return fail("cannot replace " + output.string() + ": " + error.message());
  }
  return 0;
}
