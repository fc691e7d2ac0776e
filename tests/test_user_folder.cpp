// The per-user folder the desktop entry starts Kelvo in.

#include "app/DesktopCommandLine.h"
#include "app/UserFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

using namespace kelvo;
namespace fs = std::filesystem;

namespace {

EnvironmentLookup Env(std::map<std::string, std::string> values) {
    return [values](const char* name) -> std::optional<std::string> {
        const auto it = values.find(name);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    };
}

class UserFolderTest : public ::testing::Test {
protected:
    UserFolderTest() : previous_(fs::current_path()) {
        fs::remove_all(root);
        fs::create_directories(root);
    }
    ~UserFolderTest() override {
        fs::current_path(previous_);
        fs::remove_all(root);
    }
    fs::path root = fs::temp_directory_path() / "kelvo-user-folder";

private:
    fs::path previous_;
};

} // namespace

#ifndef _WIN32
TEST(UserFolder, FollowsTheXdgFoldersThenHome) {
    std::string error;
    EXPECT_EQ(UserFolder(Env({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}}), error),
              fs::path("/cfg/kelvo"));
    // Unset, empty or relative XDG_CONFIG_HOME falls back to ~/.config.
    for (const auto& env :
         {Env({{"HOME", "/home/u"}}), Env({{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/u"}}),
          Env({{"XDG_CONFIG_HOME", "rel/cfg"}, {"HOME", "/home/u"}})})
        EXPECT_EQ(UserFolder(env, error), fs::path("/home/u/.config/kelvo"));
    EXPECT_TRUE(error.empty());
    // Never the current folder or "/": without a place it is an error.
    EXPECT_EQ(UserFolder(Env({{"HOME", ""}}), error), fs::path());
    EXPECT_NE(error.find("HOME"), std::string::npos) << error;
    // Recovery copies are state, not settings: XDG_STATE_HOME, then ~/.local/state.
    EXPECT_EQ(RecoveryFolder(Env({{"XDG_STATE_HOME", "/st"}, {"HOME", "/home/u"}})),
              fs::path("/st/kelvo"));
    EXPECT_EQ(RecoveryFolder(Env({{"HOME", "/home/u"}})), fs::path("/home/u/.local/state/kelvo"));
}
#else
TEST(UserFolder, IsUnderAppData) {
    std::string error;
    EXPECT_EQ(UserFolder(Env({{"APPDATA", "C:\\Users\\u\\AppData\\Roaming"}}), error),
              fs::path("C:\\Users\\u\\AppData\\Roaming") / "Kelvo");
    EXPECT_EQ(UserFolder(Env({}), error), fs::path());
    EXPECT_NE(error.find("APPDATA"), std::string::npos) << error;
}
#endif

TEST_F(UserFolderTest, EnteringCreatesTheFolderOnceAndKeepsItsContent) {
    const fs::path folder = root / "config" / "kelvo";
    std::string error;
    ASSERT_TRUE(EnterFolder(folder, error)) << error;
    EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
#ifndef _WIN32
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
#endif
    std::ofstream("ConnSettings.dat") << "278";
    fs::current_path(root);
    ASSERT_TRUE(EnterFolder(folder, error)) << error;
    std::ifstream in("ConnSettings.dat");
    std::string token;
    in >> token;
    EXPECT_EQ(token, "278");
}

TEST_F(UserFolderTest, AFolderThatCannotBeMadeIsAnError) {
    std::ofstream(root / "file") << "x";
    std::string error;
    EXPECT_FALSE(EnterFolder(root / "file" / "kelvo", error));
    EXPECT_EQ(
        error.rfind("Cannot create the folder " + (root / "file" / "kelvo").string() + ": ", 0), 0u)
        << error;
    EXPECT_FALSE(fs::equivalent(fs::current_path(), root / "file"));
}

TEST(DesktopCommandLine, UserFolderIsAnOptionOfItsOwn) {
    DesktopCommandLine line;
    std::string error;
    ASSERT_TRUE(ParseDesktopCommandLine({"-AVRonly", "--user-folder"}, line, error)) << error;
    EXPECT_TRUE(line.userFolder);
    EXPECT_EQ(line.options.avrOnly, 1);
    DesktopCommandLine plain;
    ASSERT_TRUE(ParseDesktopCommandLine({"/initprogramming"}, plain, error));
    EXPECT_FALSE(plain.userFolder);
    EXPECT_NE(DesktopUsage().find("--user-folder"), std::string::npos);
}
