// Whole-file reads and writes, the safe rewrite of a user's file, and the small file-system
// steps that the programs share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace formats {

enum class ReadOutcome { ok, cannot_open, read_error };

// Reads the whole file into `bytes` (reusing its capacity). Only a regular file, after
// following links, can be opened: a directory, a FIFO, a device or a socket cannot, and
// nothing is read from it.
ReadOutcome read_whole_file(const std::string& path, std::vector<uint8_t>& bytes);

// Reads from the file descriptor to its end into `bytes` (reusing its capacity), going on
// after partial reads and signals; false on a read error or when memory runs out.
bool read_all(int fd, std::vector<uint8_t>& bytes);

// Writes all of `text` to the file descriptor, going on after partial writes and signals;
// false on the first failure (a full disk, a size limit), with part of the text perhaps written.
bool write_all(int fd, std::string_view text);

// Replaces the file at `path` with `contents` so that the file is at every moment either the
// old one or the complete new one: the text goes to a temporary file in the same directory,
// is flushed to disk and renamed over the target. A symbolic link is followed and its target
// replaced. Returns false (and leaves the original untouched) on any failure.
bool replace_file_contents(const std::string& path, const std::string& contents);

// What a program writes in place of `path`: the path itself, or, when it is a symbolic link,
// the canonical path of what the link leads to. Nothing, with the reason in `error`, when the
// link dangles or loops.
std::optional<std::filesystem::path> resolve_symlink(const std::filesystem::path& path,
                                                     std::error_code& error);

// Makes the entries of a directory (files written, renames done) durable; best effort.
void sync_directory(const std::string& path);

}  // namespace formats
