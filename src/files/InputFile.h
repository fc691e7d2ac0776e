#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace kelvo {

// What may be read besides a regular file.
enum class InputKinds {
    RegularFile, // nothing else: a device, pipe or socket is refused at once
    // A pipe or a terminal too (standard input as /dev/stdin, or "-"), for
    // input that is read exactly once; still no more than the limit.
    AlsoStreams,
};

// The whole content of the file at `path`, at most `limit` bytes; nothing,
// and `why` in a user's words, when it is missing, a folder, of a kind
// `kinds` refuses, larger than `limit`, or cannot be read. Never waits for
// a writer: a FIFO nobody writes to reads as empty.
std::optional<std::string> ReadInputFile(const std::filesystem::path& path, std::size_t limit,
                                         std::string& why,
                                         InputKinds kinds = InputKinds::RegularFile);

} // namespace kelvo
