#include "link/PortBackends.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
