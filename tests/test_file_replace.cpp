// Replacing a file through a temporary beside it, on POSIX and on Windows.

#include "files/SafeWrite.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

class FileReplace : public ::testing::Test {
protected:
    FileReplace() {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~FileReplace() override { fs::remove_all(dir); }

    static std::string Bytes(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Only the target may be left in the folder.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        return names;
    }

    fs::path dir = fs::temp_directory_path() /
                   ("kelvo-replace-" +
                    std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
};

} // namespace

TEST_F(FileReplace, NewAndExistingFilesGetTheContentInTextMode) {
    const fs::path file = dir / "ConnSettings.dat";
    ASSERT_TRUE(WriteFileReplacing(file, "first\n")) << WriteFileReplacing(file, "first\n").error;
    ASSERT_TRUE(WriteFileReplacing(file, "Ver:3.0\n0:1\n"));
#ifdef _WIN32
    EXPECT_EQ(Bytes(file), "Ver:3.0\r\n0:1\r\n"); // text mode: CR LF on Windows
#else
    EXPECT_EQ(Bytes(file), "Ver:3.0\n0:1\n");
#endif
    EXPECT_EQ(Names(), std::vector<std::string>{"ConnSettings.dat"});
}

TEST_F(FileReplace, AFolderThatIsNotThereIsAnErrorAndLeavesNothing) {
    const FileResult r = WriteFileReplacing(dir / "missing" / "x.esf", "x");
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("missing"), std::string::npos) << r.error;
    EXPECT_TRUE(Names().empty());
}

#ifdef _WIN32
// A file another program holds open without letting it be replaced (as an
// editor may) stays as it was, and the temporary goes.
TEST_F(FileReplace, AFileHeldOpenIsKeptAndTheErrorSaysWhy) {
    const fs::path file = dir / "mine.esf";
    ASSERT_TRUE(WriteFileReplacing(file, "old\n"));
    HANDLE held = CreateFileW(file.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const FileResult r = WriteFileReplacing(file, "new\n");
    CloseHandle(held);
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("mine.esf"), std::string::npos) << r.error;
    EXPECT_EQ(Bytes(file), "old\r\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"mine.esf"});
}

// A read-only file is refused on Windows, as Explorer and editors refuse it.
TEST_F(FileReplace, AReadOnlyFileIsNotReplaced) {
    const fs::path file = dir / "mine.esf";
    ASSERT_TRUE(WriteFileReplacing(file, "old\n"));
    ASSERT_TRUE(SetFileAttributesW(file.wstring().c_str(), FILE_ATTRIBUTE_READONLY));
    const FileResult r = WriteFileReplacing(file, "new\n");
    SetFileAttributesW(file.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("read-only"), std::string::npos) << r.error;
    EXPECT_EQ(Bytes(file), "old\r\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"mine.esf"});
}
#endif

TEST_F(FileReplace, ALockedFileRefusesASecondHolderThroughItsReplacements) {
    const fs::path file = dir / "board.json";
    ASSERT_TRUE(WriteFileReplacing(file, "one"));
    FileResult result;
    std::unique_ptr<LockedFile> held = LockedFile::Open(file, result);
    ASSERT_TRUE(held) << result.error;
    EXPECT_FALSE(LockedFile::Open(file, result));
    EXPECT_NE(result.error.find("in use by another Kelvo run"), std::string::npos) << result.error;

    // Nor is it replaced under its holder by an ordinary write (an output
    // file named like a board state file in use).
    const FileResult clobber = WriteFileReplacing(file, "settings");
    EXPECT_FALSE(clobber);
    EXPECT_NE(clobber.error.find("in use by another Kelvo run"), std::string::npos)
        << clobber.error;
    EXPECT_EQ(Bytes(file), "one");

    ASSERT_TRUE(held->Replace("two"));
    EXPECT_EQ(Bytes(file), "two");
    EXPECT_FALSE(LockedFile::Open(file, result)); // the lock outlives the replacement
    EXPECT_FALSE(WriteFileReplacing(file, "settings"));
    held.reset();
    std::unique_ptr<LockedFile> next = LockedFile::Open(file, result);
    ASSERT_TRUE(next) << result.error;
    next.reset();
    EXPECT_EQ(Names(), std::vector<std::string>{"board.json"}); // nothing left behind

    EXPECT_FALSE(LockedFile::Open(dir / "absent.json", result));
    fs::create_directory(dir / "dir.json");
    EXPECT_FALSE(LockedFile::Open(dir / "dir.json", result));
    const fs::path ro = dir / "ro.json";
    ASSERT_TRUE(WriteFileReplacing(ro, "x"));
    fs::permissions(ro, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(LockedFile::Open(ro, result));
    EXPECT_NE(result.error.find("read-only"), std::string::npos) << result.error;
    fs::permissions(ro, fs::perms::owner_write, fs::perm_options::add);
}
