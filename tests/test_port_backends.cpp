#include "link/PortBackends.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <vector>

#ifdef __linux__
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

// A fake /proc/sys/dev/parport and /dev laid out in a temporary folder.
struct FakeParportTree : ::testing::Test {
    fs::path root =
        fs::temp_directory_path() /
        ("kelvo-parport-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    PpdevPaths paths{(root / "proc").string(), (root / "dev").string()};

    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root / "proc");
        fs::create_directories(root / "dev");
    }
    void TearDown() override { fs::remove_all(root); }

    void AddPort(const std::string& name, const std::string& baseAddr, bool withNode) {
        fs::create_directories(root / "proc" / name);
        std::ofstream(root / "proc" / name / "base-addr") << baseAddr;
        if (withNode)
            std::ofstream(root / "dev" / name) << "";
    }
};

} // namespace

TEST_F(FakeParportTree, FindsTheDeviceWhoseBaseMatches) {
    AddPort("parport0", "632\t1656\n", true); // 0x278
    AddPort("parport1", "888\t1912\n", true); // 0x378
    std::string error;
    EXPECT_EQ(FindParportDevice(0x378, paths, error), (root / "dev" / "parport1").string());
    EXPECT_EQ(FindParportDevice(0x278, paths, error), (root / "dev" / "parport0").string());
}

TEST_F(FakeParportTree, NoPortAtTheAddressNamesTheOnesThatExist) {
    AddPort("parport0", "632\t1656\n", true);
    std::string error;
    EXPECT_EQ(FindParportDevice(0x3BC, paths, error), "");
    EXPECT_NE(error.find("0x3BC"), std::string::npos) << error;
    EXPECT_NE(error.find("parport0 at 0x278"), std::string::npos) << error;
    EXPECT_NE(error.find("--port"), std::string::npos) << error;
}

TEST_F(FakeParportTree, MissingDeviceNodeSaysToLoadPpdev) {
    AddPort("parport0", "888\n", false);
    std::string error;
    EXPECT_EQ(FindParportDevice(0x378, paths, error), "");
    EXPECT_NE(error.find("modprobe ppdev"), std::string::npos) << error;
}

TEST_F(FakeParportTree, NoParportDriverAtAll) {
#ifndef __linux__
    GTEST_SKIP() << "ppdev exists on Linux only; elsewhere opening it names the platform";
#endif
    fs::remove_all(root / "proc");
    std::string error;
    EXPECT_EQ(OpenPpdevPort(0x378, error, paths), nullptr);
    EXPECT_NE(error.find("parport_pc"), std::string::npos) << error;
}

TEST_F(FakeParportTree, IgnoresUnreadableEntries) {
    AddPort("parport0", "garbage", true);
    AddPort("other", "888", true);
    std::string error;
    EXPECT_EQ(FindParportDevice(0x378, paths, error), "");
    EXPECT_NE(error.find("lists none"), std::string::npos) << error;
}

TEST(PpdevPort, RegistersMapToTheirRequestsAndOtherWritesOnlyTakeBusTime) {
    using A = PpdevAccess;
    for (std::uint16_t base : {std::uint16_t{0x378}, std::uint16_t{0x278}}) {
        const std::uint16_t data = base, status = base + 1, control = base + 2;
        EXPECT_EQ(PpdevWriteAccess(base, data), A::WriteData) << base;
        EXPECT_EQ(PpdevWriteAccess(base, control), A::WriteControl) << base;
        EXPECT_EQ(PpdevWriteAccess(base, status), A::ReadStatus) << base;
        EXPECT_EQ(PpdevWriteAccess(base, 0x80), A::ReadStatus) << base;
        EXPECT_EQ(PpdevReadAccess(base, status), A::ReadStatus) << base;
        EXPECT_EQ(PpdevReadAccess(base, data), A::ReadData) << base;
        EXPECT_EQ(PpdevReadAccess(base, control), A::ReadControl) << base;
        EXPECT_EQ(PpdevReadAccess(base, base + 3), A::Nothing) << base;
        EXPECT_EQ(PpdevReadAccess(base, 0x80), A::Nothing) << base;
    }
}

TEST_F(FakeParportTree, ADeviceThatCannotBeOpenedOrClaimedSaysWhy) {
#ifndef __linux__
    GTEST_SKIP() << "ppdev exists on Linux only";
#endif
    // A plain file opens but takes no ppdev request.
    AddPort("parport0", "888", true);
    const std::string device = (root / "dev" / "parport0").string();
    std::string error;
    EXPECT_EQ(OpenPpdevPort(0x378, error, paths), nullptr);
    EXPECT_EQ(error.rfind("Cannot claim " + device + ": ", 0), 0u) << error;
    EXPECT_NE(
        error.find(". Another program (a printer daemon such as cups) may be using the port."),
        std::string::npos)
        << error;

    // A folder in its place does not open at all.
    fs::remove(device);
    fs::create_directories(device);
    EXPECT_EQ(OpenPpdevPort(0x378, error, paths), nullptr);
    EXPECT_EQ(error, "Cannot open " + device + ": Is a directory");
}

#ifdef __linux__
TEST_F(FakeParportTree, ADeviceNodeWithoutPermissionNamesItsGroup) {
    AddPort("parport0", "888", true);
    const fs::path device = root / "dev" / "parport0";
    fs::permissions(device, fs::perms::none);
    struct stat node {};
    ASSERT_EQ(stat(device.c_str(), &node), 0);
    const group* owner = getgrgid(node.st_gid);
    const std::string group = owner ? owner->gr_name : std::to_string(node.st_gid);
    // Root may open anything: the child runs as nobody.
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        std::string error;
        const bool opened = OpenPpdevPort(0x378, error, paths) != nullptr;
        const ssize_t written = write(pipeFds[1], error.data(), error.size());
        _exit(opened || written != static_cast<ssize_t>(error.size()) ? 1 : 0);
    }
    close(pipeFds[1]);
    std::string error;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        error.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << error;
    EXPECT_EQ(error, "No permission to use " + device.string() +
                         ". Add yourself to its group with: sudo usermod -aG " + group +
                         " $USER (then log in again).");
}
#endif

// Root refused by the kernel is not told to become root.
TEST(DirectIoPort, RefusalsNameTheirRealCause) {
    const std::vector<std::tuple<int, bool, std::string, std::string>> cases = {
        {EPERM, false, "needs root", "locked down"},
        {EPERM, true, "locked down", "needs root"},
        {EINVAL, true, std::strerror(EINVAL), "needs root"},
    };
    for (const auto& [error, root, says, never] : cases) {
        const std::string text = DirectIoRefusal(error, root);
        EXPECT_NE(text.find(says), std::string::npos) << text;
        EXPECT_EQ(text.find(never), std::string::npos) << text;
        EXPECT_NE(text.find("--port-driver ppdev"), std::string::npos) << text;
    }
}
