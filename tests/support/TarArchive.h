#pragma once

#include <string>
#include <vector>

namespace testsupport {

/// A member of a hand-made data archive: a file ('0'), hard link ('1'), link ('2') or folder ('5').
struct Member {
  std::string path;
  char type;
  std::string link = "";
  std::string data = "";
};

/// A tar archive holding the members with their names exactly as given, as
/// dpkg-deb would never write them ("../" in a hard-link target, a long name).
std::string tarOf(const std::vector<Member>& members);

}  // namespace testsupport
