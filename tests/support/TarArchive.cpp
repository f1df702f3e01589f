#include "tests/support/TarArchive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace testsupport {

std::string tarOf(const std::vector<Member>& members) {
  std::string archive;
  auto header = [&](const std::string& name, char type, const std::string& link, std::size_t size) {
    std::string block(512, '\0');
    name.copy(block.data(), std::min<std::size_t>(name.size(), 100));
    std::snprintf(block.data() + 100, 8, "%07o", type == '5' ? 0755u : 0644u);
    std::snprintf(block.data() + 108, 8, "%07o", 0u);
    std::snprintf(block.data() + 116, 8, "%07o", 0u);
    std::snprintf(block.data() + 124, 12, "%011zo", size);
    std::snprintf(block.data() + 136, 12, "%011o", 0u);
    block[156] = type;
    link.copy(block.data() + 157, std::min<std::size_t>(link.size(), 100));
    std::memcpy(block.data() + 257, "ustar  ", 8);
    std::fill(block.begin() + 148, block.begin() + 156, ' ');
    unsigned sum = 0;
    for (unsigned char c : block) sum += c;
    std::snprintf(block.data() + 148, 8, "%06o", sum);
    archive += block;
  };
  auto data = [&](const std::string& bytes) {
    archive += bytes;
    archive.append((512 - bytes.size() % 512) % 512, '\0');
  };
  for (const Member& member : members) {
    if (member.path.size() > 100) {
      header("././@LongLink", 'L', "", member.path.size() + 1);
      data(member.path + '\0');
    }
    if (member.link.size() > 100) {
      header("././@LongLink", 'K', "", member.link.size() + 1);
      data(member.link + '\0');
    }
    header(member.path, member.type, member.link, member.data.size());
    data(member.data);
  }
  return archive + std::string(1024, '\0');
}


}  // namespace testsupport
