#include "FlowTestSupport.h"
#include "app/cli/CliFlowHost.h"
#include "files/SettingsFile.h"
#include "ops/Download.h"
#include "ops/FirmwareUpdate.h"
#include "ops/Presets.h"
#include "ops/SettingsFileFlows.h"
#include "ops/Upload.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace kelvo;

namespace {

using Message = ScriptedFlowHost::Message;
constexpr MessageIcon None = MessageIcon::None, Error = MessageIcon::Error,
                      Exclamation = MessageIcon::Exclamation;
constexpr MessageButtons Ok = MessageButtons::Ok, YesNo = MessageButtons::YesNo,
                         Guarded = MessageButtons::YesNoDefaultNo;

const Message kReadFailed = {
    "Unable to read settings from board. Make sure the programming cable is plugged in, and the "
    "power is on.    \n\nWhen you have verified the connections, press the \"Download "
    "Configuration\" button to try to again.",
    "Board Read Failed", Exclamation, Ok};
const Message kUploadFailed = {
    "Unable to write settings to the board. Make sure the programming cable is plugged in, and "
    "the power is on.    \n\nWhen you have verified the connections, press the \"Upload "
    "Configuration\" button to try to again.",
    "Settings Upload Failed", Exclamation, Ok};
const Message kFirmwareFailed = {
    "Unable to write firmware to the board. Make sure the programming cable is plugged in, and "
    "the power is on.   \n\nWhen you have verified the connections, press the \"Upload "
    "Firmware\" button to try to again.",
    "Firmware Upload Failed", Exclamation, Ok};
const Message kFirmwareInvalid = {
    "The firmware you have selected does not appear valid.\n\nPlease make sure you have selected "
    "the correct firmware\nfor your board, and try again.\n\nIf you downloaded it, try "
    "downloading it again.",
    "Bad Firmware File", Error, Ok};
const Message kConfirmReset = {"This will reset all board settings to factory defaults. Are you "
                               "sure you wish to do this?",
                               "Confirm Factory Reset", None, Guarded};

SimBoardState Absent() {
    return NoBoard();
}

SimBoardState Tovar() {
    return BoardWithSettings(Family::Avr, ValidBoardSettings(3, 3, 5));
}

// A board that answers but whose revision no read accepts.
SimBoardState Unreadable() {
    return BoardWithSettings(Family::Avr, ValidBoardSettings(3, 0, 0));
}

std::string SettingsFileWith(const std::string& line) {
    std::string text = FormatSettingsFile(ValidBoardSettings(3, 3, 5), 0);
    const std::size_t at = text.find("\n" + line.substr(0, line.find(':') + 1));
    text.replace(at + 1, text.find('\n', at + 1) - at - 1, line);
    return text;
}

std::string WriteText(const std::string& name, const std::string& text) {
    const std::filesystem::path path = TempPath(name);
    std::ofstream(path) << text;
    return path.string();
}

struct Case {
    const char* name;
    std::function<SimBoardState()> board;
    std::function<void(FlowBench&)> run;
    std::vector<Message> expected;
};

} // namespace

TEST(FlowMessages, EachMessageWithItsCaptionIconAndButtonsFromTheFlowThatShowsIt) {
    const std::string missing = TempPath("missing.esf").string();
    const std::string wide = TempPath("wide.esf").string();
    const std::vector<Case> cases = {
        {"download, no board",
         Absent,
         [](FlowBench& b) { DownloadConfiguration(b.ctx); },
         {kReadFailed}},
        {"download, unknown board with old firmware",
         [] { return BoardWithSettings(Family::Avr, ValidBoardSettings(11, 2, 50)); },
         [](FlowBench& b) { DownloadConfiguration(b.ctx); },
         {{"The board type is unrecognized by this version of the Kelvo software.\n\nUsing a "
           "version of this software that doesn't directly support your board\nmay cause "
           "undesired settings results. It is recommended you change to a\nversion of the "
           "software that does support it.",
           "New Firmware Required", Error, Ok},
          {"You do not have the minimum required firmware version on your board to use this "
           "software.\n\nYou currently have 2.50, and 3.00 is required. You must update your "
           "firmware before you can\nupload new settings to the board.",
           "New Firmware Required", Error, Ok}}},
        {"download, low battery",
         [] {
             BoardSettingsImage s = ValidBoardSettings(5, 3, 0);
             s[entry::batteryVolts] = 6;
             s[entry::batteryFraction] = 0;
             return BoardWithSettings(Family::Avr, s);
         },
         [](FlowBench& b) { DownloadConfiguration(b.ctx); },
         {{"Your battery voltage is reading below 6.5 volts.\n\nUsing a low battery can cause "
           "problems while changing settings or updating firmware,\nas well as operational "
           "problems. It is recommended you change your battery as soon.",
           "Low Battery Found", Exclamation, Ok}}},
        {"upload, empty value",
         Tovar,
         [](FlowBench& b) {
             DownloadConfiguration(b.ctx);
             b.state.settingsImage[entry::dwell] = Unset;
             UploadConfiguration(b.ctx);
         },
         {{"Invalid Settings Found. Please make sure your selections are valid and complete.",
           "Incomplete Settings", Error, Ok}}},
        {"upload, no board",
         Absent,
         [](FlowBench& b) {
             b.state.settingsImage = ValidBoardSettings(3, 3, 5);
             UploadConfiguration(b.ctx);
         },
         {kUploadFailed}},
        {"firmware for another board",
         Tovar,
         [](FlowBench& b) {
             DownloadConfiguration(b.ctx);
             b.host.files.push_back(WriteFirmwareFile(4, RandomCode(64, 1)).string());
             UpdateFirmware(b.ctx);
         },
         {{"The firmware you have selected does not appear\nto be for the board you have "
           "connected.\n\nPlease make sure you have selected the correct\nfirmware for your "
           "board, and try again.\n\n",
           "Bad Firmware File", Error, Ok}}},
        {"firmware file malformed",
         Tovar,
         [](FlowBench& b) {
             DownloadConfiguration(b.ctx);
             b.host.files.push_back(WriteText("bad.efw", "xxxxxxxxx3 notarecord\n"));
             UpdateFirmware(b.ctx);
         },
         {kFirmwareInvalid}},
        {"initial programming, malformed file",
         Absent,
         [](FlowBench& b) {
             b.state.runOptions.initProgramming = 1;
             b.host.files.push_back(WriteText("bad.efw", "xxxxxxxxx3 notarecord\n"));
             UpdateFirmware(b.ctx);
         },
         {kFirmwareInvalid}},
        {"firmware, no board",
         Absent,
         [](FlowBench& b) {
             b.state.runOptions.bypassFwBoardCheck = 1;
             b.host.files.push_back(WriteFirmwareFile(3, RandomCode(64, 2)).string());
             UpdateFirmware(b.ctx);
         },
         {kFirmwareFailed}},
        {"firmware and settings written",
         Tovar,
         [](FlowBench& b) {
             DownloadConfiguration(b.ctx);
             b.host.files.push_back(WriteFirmwareFile(3, RandomCode(64, 3)).string());
             UpdateFirmware(b.ctx);
         },
         {{"The board firmware and settings have been updated!\n\n", "Firmware Upload Complete",
           None, Ok}}},
        // After a stop nothing is said: neither the cable nor the values are
        // to blame. Stopped before the search, and in the settings write that
        // follows a firmware write.
        {"download stopped",
         Tovar,
         [](FlowBench& b) {
             static StopRequest stop;
             stop.requested = true;
             b.ctx.stop = &stop;
             DownloadConfiguration(b.ctx);
         },
         {}},
        {"firmware written, settings write stopped",
         Tovar,
         [](FlowBench& b) {
             DownloadConfiguration(b.ctx);
             b.host.files.push_back(WriteFirmwareFile(3, RandomCode(64, 5)).string());
             static StopRequest stop;
             stop.requested = false;
             b.ctx.stop = &stop;
             b.host.onPosition = [&b](int position) {
                 const std::vector<int> ops = b.host.Operations();
                 if ((ops.back() == 1 || ops.back() == 5) && position == 10)
                     stop.requested = true;
             };
             UpdateFirmware(b.ctx);
         },
         {}},
        {"firmware on an unread board, settings not written",
         Unreadable,
         [](FlowBench& b) {
             b.host.files.push_back(WriteFirmwareFile(3, RandomCode(64, 4)).string());
             b.host.answers.push_back(MessageAnswer::Yes);
             UpdateFirmware(b.ctx);
         },
         {{"The board could not be read, so Kelvo cannot check that the firmware you have "
           "selected is meant for it.\n\nFirmware for another board can leave it unusable. Do "
           "you wish to write this firmware anyway?",
           "Board Not Checked", Exclamation, Guarded},
          kUploadFailed, // the revision no read accepts refuses the settings too
          {"The board firmware has been updated, but your settings could not be\nwritten to it "
           "due to a bad or empty value in one of the Kelvo options.\n\nOnce you correct the "
           "option, you can upload your settings.",
           "Firmware Upload Complete", None, Ok}}},
        {"factory defaults, no board",
         Absent,
         [](FlowBench& b) {
             b.host.answers.push_back(MessageAnswer::Yes);
             FactoryDefaults(b.ctx);
         },
         {kConfirmReset,
          {"Unable to load factory defaults to the board. Make sure the programming cable is "
           "plugged in, and the power is on.    \n\nWhen you have verified the connections, "
           "press the \"Upload Configuration\" button to try to again.",
           "Settings Upload Failed", Exclamation, Ok}}},
        {"settings file missing",
         Absent,
         [missing](FlowBench& b) {
             b.host.files.push_back(missing);
             OpenConfiguration(b.ctx);
         },
         {{"Unable to open the settings file\n" + missing +
               "\n\nYour settings have not been changed.",
           "Open Settings Failed", Error, Ok}}},
        {"settings file without a version",
         Absent,
         [](FlowBench& b) {
             b.host.files.push_back(WriteText("nover.esf", "1:4\n"));
             OpenConfiguration(b.ctx);
         },
         {{"The selected settings file does not appear to be compatible with this version of "
           "the Kelvo software.\nUsing this file may cause incorrect values to be loaded. Do you "
           "wish to continue loading this file?",
           "Incompatible Settings File", None, YesNo}}},
        {"older settings file",
         Absent,
         [](FlowBench& b) {
             b.host.files.push_back(WriteText("old.esf", "Ver:2.5\n1:4\n"));
             OpenConfiguration(b.ctx);
         },
         {{"The selected settings file was made with an older version of the Kelvo "
           "software.\nUsing this file may cause incorrect values to be loaded into the "
           "dialogs.\nDo you wish to continue loading this file?",
           "Older Settings File Selected", None, YesNo}}},
        {"settings file value too wide",
         Absent,
         [wide](FlowBench& b) {
             std::ofstream(wide) << SettingsFileWith("3:300");
             b.host.files.push_back(wide);
             OpenConfiguration(b.ctx);
         },
         {{"The settings file\n" + wide +
               "\ngives key 3 the value 300, which does not fit: a setting holds 0 to 255.\n\n"
               "Your settings have not been changed.",
           "Open Settings Failed", Error, Ok}}},
        {"settings file, menu key too wide",
         Absent,
         [wide](FlowBench& b) {
             std::ofstream(wide) << SettingsFileWith("18:70000");
             b.host.files.push_back(wide);
             OpenConfiguration(b.ctx);
         },
         {{"The settings file\n" + wide +
               "\ngives key 18 the value 70000, which does not fit: the LCD menu key holds 0 "
               "to 65535.\n\nYour settings have not been changed.",
           "Open Settings Failed", Error, Ok}}},
    };
    for (const Case& c : cases) {
        FlowBench b(c.board());
        c.run(b);
        ASSERT_EQ(b.host.messages.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const Message& got = b.host.messages[i];
            const Message& want = c.expected[i];
            EXPECT_EQ(got.text, want.text) << c.name;
            EXPECT_EQ(got.caption, want.caption) << c.name;
            EXPECT_EQ(got.icon, want.icon) << c.name;
            EXPECT_EQ(got.buttons, want.buttons) << c.name;
            // The terminal names the command for any button the text names.
            EXPECT_EQ(TerminalMessageText(want.text).find("button"), std::string::npos) << c.name;
        }
    }
}
