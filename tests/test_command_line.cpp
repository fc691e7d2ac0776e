#include "app/CommandLineInfo.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

using namespace kelvo;

namespace {
RunOptions Parse(std::initializer_list<const char*> args,
                 std::optional<std::string>* name = nullptr) {
    RunOptions options;
    CommandLineInfo info(options);
    for (const char* a : args)
        info.ParseArgument(a);
    if (name)
        *name = info.boardTypeName();
    return options;
}
} // namespace

TEST(CommandLine, NoArgumentsGiveDefaults) {
    const RunOptions o = Parse({});
    EXPECT_EQ(o.initProgramming + o.pinTest + o.displayDataMemRaw + o.bypassReadCheck +
                  o.bypassFirmwareCheck + o.avrOnly + o.only8051 + o.bypassFwBoardCheck +
                  o.wholeSecondCalibration,
              0);
    EXPECT_EQ(o.delayMultiplier, 1.0f);
}

TEST(CommandLine, PrefixFormsAreTheSameOption) {
    for (const char* a : {"initprogramming", "-initprogramming", "/initprogramming"})
        EXPECT_EQ(Parse({a}).initProgramming, 1) << a;
    // Only one leading character is removed.
    EXPECT_EQ(Parse({"--initprogramming"}).initProgramming, 0);
    EXPECT_EQ(Parse({"-/pintest"}).pinTest, 0);
}

TEST(CommandLine, NamesAreCaseSensitiveAndUnknownOnesIgnored) {
    EXPECT_EQ(Parse({"-avronly"}).avrOnly, 0);
    EXPECT_EQ(Parse({"-PinTest"}).pinTest, 0);
    EXPECT_EQ(Parse({"-WholeSecondCalibration"}).wholeSecondCalibration, 0);
    const RunOptions o = Parse({"file.esf", "-whatever", "-pintest"});
    EXPECT_EQ(o.pinTest, 1);
    EXPECT_EQ(o.initProgramming, 0);
}

TEST(CommandLine, EachFlagSetsItsField) {
    const RunOptions o = Parse({"-displaydatamemraw", "-bypassreadcheck", "-bypassfirmwarecheck",
                                "-bypassfwboardcheck", "/wholesecondcalibration"});
    EXPECT_EQ(o.displayDataMemRaw, 1);
    EXPECT_EQ(o.bypassReadCheck, 1);
    EXPECT_EQ(o.bypassFirmwareCheck, 1);
    EXPECT_EQ(o.bypassFwBoardCheck, 1);
    EXPECT_EQ(o.wholeSecondCalibration, 1);
    EXPECT_EQ(o.pinTest, 0);
}

TEST(CommandLine, LaterFamilyOptionWins) {
    RunOptions o = Parse({"-AVRonly", "/8051only"});
    EXPECT_EQ(o.only8051, 1);
    EXPECT_EQ(o.avrOnly, 0);
    o = Parse({"/8051only", "-AVRonly"});
    EXPECT_EQ(o.avrOnly, 1);
    EXPECT_EQ(o.only8051, 0);
}

TEST(CommandLine, DelayMultiplierValues) {
    EXPECT_EQ(Parse({"/delaymult0.5"}).delayMultiplier, 0.5f);
    EXPECT_EQ(Parse({"/delaymult2abc"}).delayMultiplier, 2.0f);
    EXPECT_EQ(Parse({"-delaymult 3"}).delayMultiplier, 3.0f); // strtod skips leading blanks
    for (const char* a : {"/delaymult", "/delaymult0", "/delaymult-3", "/delaymultx"})
        EXPECT_EQ(Parse({"/delaymult2", a}).delayMultiplier, 1.0f) << a;
    // Narrowed to float like the original.
    EXPECT_EQ(Parse({"-delaymult0.1"}).delayMultiplier, 0.1f);
    EXPECT_EQ(Parse({"-delaymult.5"}).delayMultiplier, 0.5f);
    EXPECT_EQ(Parse({"-delaymult+2.5e1"}).delayMultiplier, 25.0f);
    EXPECT_EQ(Parse({"-delaymult2,5"}).delayMultiplier, 2.0f); // the point is always '.'
}

TEST(CommandLine, DelayMultiplierIsAFinitePositiveDecimalAtMost100) {
    // Not a finite positive decimal number: the default, never a delay that
    // stalls a write for hours.
    for (const char* a :
         {"-delaymultinf", "-delaymultINFINITY", "-delaymultnan", "-delaymult-inf",
          "-delaymult1e39", "-delaymult0x10", "-delaymult1e-50", "-delaymult.", "-delaymult-0.5"})
        EXPECT_EQ(Parse({"-delaymult3", a}).delayMultiplier, 1.0f) << a;
    EXPECT_EQ(Parse({"-delaymult1e30"}).delayMultiplier, 100.0f);
    EXPECT_EQ(Parse({"-delaymult100.5"}).delayMultiplier, 100.0f);
    EXPECT_EQ(Parse({"-delaymult100"}).delayMultiplier, 100.0f);
    EXPECT_EQ(Parse({"-delaymult99.5"}).delayMultiplier, 99.5f);
}

TEST(CommandLine, BoardTypeTakesTheTextAfterNineCharacters) {
    std::optional<std::string> name;
    Parse({"/boardtypeTovar"}, &name);
    EXPECT_EQ(name, "Tovar");
    Parse({"-boardtype"}, &name);
    EXPECT_EQ(name, "");
    Parse({"-pintest"}, &name);
    EXPECT_FALSE(name.has_value());
    // "contains": the name is cut at nine characters wherever the word stands.
    Parse({"xxboardtypeQuarle"}, &name);
    EXPECT_EQ(name, "peQuarle");
}

TEST(CommandLine, ReportsWhetherAnArgumentWasAnOption) {
    RunOptions options;
    CommandLineInfo info(options);
    EXPECT_TRUE(info.ParseArgument("-AVRonly"));
    EXPECT_TRUE(info.ParseArgument("-delaymult2"));
    EXPECT_FALSE(info.ParseArgument("-o"));
    EXPECT_FALSE(info.ParseArgument("download"));
}
