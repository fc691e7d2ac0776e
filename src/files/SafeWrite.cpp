#include "files/SafeWrite.h"

#include "files/FileReplace.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace kelvo {

FileResult WriteFileReplacing(const std::filesystem::path& path, std::string_view content) {
    std::filesystem::path temporary = path;
    temporary += ".kelvo-tmp";
    errno = 0;
    std::ofstream out(temporary, std::ios::out | std::ios::trunc);
    if (!out)
        return {false, "cannot create " + temporary.string() +
                           (errno ? ": " + std::string(std::strerror(errno)) : std::string())};

    // From here on the temporary file is ours to remove.
    auto failure = [&](const std::string& what) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return FileResult{false, what};
    };
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out)
        return failure("cannot write " + temporary.string());

    std::string error;
    if (!ReplaceFileWith(temporary, path, error))
        return failure(error);
    return {};
}

} // namespace kelvo
