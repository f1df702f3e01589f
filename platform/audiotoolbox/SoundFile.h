#pragma once

#include <sndfile.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>

#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/audiotoolbox/Speaker.h"

// Sound files as the system sound service reads them.
namespace soundfile {

/// What the platform plays: rates from 1 kHz to 192 kHz, one to eight
/// channels, at most 30 seconds.
inline constexpr int kLowestRate = 1000;
inline constexpr int kHighestRate = 192000;
inline constexpr int kMostChannels = 8;
inline constexpr int kLongestSeconds = 30;

/// The clip of the sound file at a device path. A clip decoded before is
/// reused while the file keeps its identity (device, inode, size, modification
/// and change times), and is decoded afresh while that identity is too young
/// to tell a rewrite apart; a file that changed or went is forgotten.
OSStatus load(const std::string& devicePath, std::shared_ptr<const speaker::Clip>& clip);

/// Decoded clips kept for reuse take at most this much memory, the least
/// recently used going first.
inline constexpr std::size_t kCachedBytes = 32 << 20;
/// The memory the kept clips take now.
std::size_t cachedBytes();

/// Decodes the sound file open on `descriptor`, whose first `size` bytes are
/// read, and nothing more than its declared length allows. `devicePath` names
/// the clip.
OSStatus decode(int descriptor, off_t size, const std::string& devicePath, std::shared_ptr<const speaker::Clip>& clip);

/// libsndfile reaches a file only through these calls on a descriptor that
/// stays ours: given the descriptor itself, it may close it.
struct DescriptorFile {
  int descriptor;
  sf_count_t position = 0;
  /// The length the file is taken to have; with -1 its current size.
  sf_count_t fixedLength = -1;
};
extern SF_VIRTUAL_IO descriptorCalls;

}  // namespace soundfile
