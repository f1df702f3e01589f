#pragma once

#include <optional>
#include <string>
#include <string_view>

// Host file operations shared by the platform libraries.
namespace files {

std::optional<std::string> readWhole(const std::string& hostPath);

enum class Durability { Flushed, Unflushed };

/// Writes a temporary file beside the target, then renames it into place, so
/// that a reader sees either the whole old or the whole new file. With
/// Durability::Flushed the file and its directory are flushed to disk too.
bool writeAtomically(const std::string& hostPath, std::string_view contents, Durability durability);

/// Writes all of `contents`, going on after interruptions and short writes.
bool writeAll(int descriptor, std::string_view contents);

/// Creates a directory and its parents; true if it exists afterwards.
bool makeDirectories(const std::string& hostPath);

}  // namespace files
