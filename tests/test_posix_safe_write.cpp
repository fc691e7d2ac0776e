// Writing files without clobbering anything: settings files, firmware images,
// ConnSettings.dat and the simulated board's state file all go through here.
#include "TempFolder.h"
#include "files/SafeWrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

class SafeWrite : public TempFolderTest {
protected:
    fs::path Make(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return dir_ / name;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static unsigned Mode(const fs::path& path) {
        struct stat st;
        EXPECT_EQ(::lstat(path.c_str(), &st), 0);
        return st.st_mode;
    }
    // Names in the folder, to see that no temporary file is left behind.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace

TEST_F(SafeWrite, ReplacesAFileKeepingItsPermissionsAndLeavesNothingElse) {
    const fs::path file = Make("s.esf", "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileReplacing(file, "new"));
    EXPECT_EQ(Read(file), "new");
    EXPECT_EQ(Mode(file) & 07777, 0640u);
    if (::geteuid() == 0) { // only root can hand a file to someone else
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
        ASSERT_TRUE(WriteFileReplacing(file, "again"));
        struct stat st;
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
    ASSERT_TRUE(WriteFileReplacing(dir_ / "fresh.esf", "made"));
    EXPECT_EQ(Read(dir_ / "fresh.esf"), "made");
    EXPECT_EQ(Names(), (std::vector<std::string>{"fresh.esf", "s.esf"}));
}

TEST_F(SafeWrite, ReadOnlyFilesAndFoldersAreRefusedAndKept) {
    const fs::path file = Make("ro.esf", "keep me");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const FileResult result = WriteFileReplacing(file, "lost");
    EXPECT_FALSE(result);
    EXPECT_NE(result.error.find("read-only"), std::string::npos) << result.error;
    EXPECT_EQ(Read(file), "keep me");
    EXPECT_EQ(Mode(file) & 07777, 0444u);

    fs::create_directory(dir_ / "folder.esf");
    const FileResult folder = WriteFileReplacing(dir_ / "folder.esf", "x");
    EXPECT_FALSE(folder);
    EXPECT_NE(folder.error.find("is a folder"), std::string::npos) << folder.error;
    EXPECT_TRUE(fs::is_directory(dir_ / "folder.esf"));
    EXPECT_FALSE(WriteFileReplacing(dir_ / "no" / "such" / "dir.esf", "x"));
    // A file where a folder should be: the path cannot even be looked at.
    const FileResult under = WriteFileReplacing(file / "x.esf", "x");
    EXPECT_EQ(under.error, "cannot write " + (file / "x.esf").string() + ": Not a directory");
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder.esf", "ro.esf"}));
}

TEST_F(SafeWrite, APipeIsWrittenNotReplaced) {
    const fs::path fifo = dir_ / "out.efw";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The reading end is open first, so the write neither blocks nor waits.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const FileResult result = WriteFileReplacing(fifo, "through the pipe");
    char buffer[64];
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    EXPECT_TRUE(result) << result.error;
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), "through the pipe");
    EXPECT_TRUE(S_ISFIFO(Mode(fifo)));
}

TEST_F(SafeWrite, LinksAreFollowedNeverPlanted) {
    // Something waiting at a temporary name is neither followed nor replaced.
    const fs::path victim = Make("victim", "precious");
    const fs::path file = Make("s.esf", "old");
    for (const char* planted : {"s.esf.kelvo-tmp", "s.esf.tmp"})
        fs::create_symlink(victim, dir_ / planted);
    ASSERT_TRUE(WriteFileReplacing(file, "new"));
    EXPECT_EQ(Read(victim), "precious");
    EXPECT_EQ(Read(file), "new");

    // A link to the file stays a link; the file it names is written.
    fs::create_symlink(file, dir_ / "link.esf");
    ASSERT_TRUE(WriteFileReplacing(dir_ / "link.esf", "via link"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.esf"));
    EXPECT_EQ(Read(file), "via link");

    // So does a link to a file not there yet, relative or absolute, through
    // a chain of links: the file is made where the last one points.
    fs::create_directory(dir_ / "sub");
    fs::create_symlink("sub/new.esf", dir_ / "relative.esf");
    fs::create_symlink(dir_ / "relative.esf", dir_ / "chain.esf");
    fs::create_symlink(dir_ / "sub" / "abs.esf", dir_ / "absolute.esf");
    for (const char* link : {"chain.esf", "absolute.esf"})
        ASSERT_TRUE(WriteFileReplacing(dir_ / link, link));
    for (const char* link : {"relative.esf", "chain.esf", "absolute.esf"})
        EXPECT_TRUE(fs::is_symlink(dir_ / link)) << link;
    EXPECT_EQ(Read(dir_ / "sub" / "new.esf"), "chain.esf");
    EXPECT_EQ(Read(dir_ / "sub" / "abs.esf"), "absolute.esf");
}

TEST_F(SafeWrite, WritersOfOneFileNeverTripOverEachOther) {
    const fs::path file = Make("shared.json", "start");
    std::vector<std::thread> writers;
    std::vector<int> failures(4, 0);
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([&, w] {
            const std::string text(4000, static_cast<char>('a' + w));
            for (int i = 0; i < 25; ++i)
                failures[w] += WriteFileReplacing(file, text) ? 0 : 1;
        });
    for (std::thread& t : writers)
        t.join();
    EXPECT_EQ(failures, (std::vector<int>{0, 0, 0, 0}));
    const std::string last = Read(file);
    ASSERT_EQ(last.size(), 4000u);
    EXPECT_EQ(last, std::string(4000, last[0])); // one writer's text, whole
    EXPECT_EQ(Names(), (std::vector<std::string>{"shared.json"}));
}
