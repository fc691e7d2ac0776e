#include "MainWindowFixture.h"
#include "ui/CSettingsDlg.h"

#include <QComboBox>
#include <QRadioButton>

#include <fstream>
#include <sstream>

namespace kelvo {
namespace {

class ConnectionDialogTest : public MainWindowTest {
protected:
    ConnectionDialogTest() { state.startDirectory = directory.string(); }

    std::string Stored() const {
        std::ifstream in(directory / "ConnSettings.dat");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void Store(const std::string& text) const {
        std::ofstream(directory / "ConnSettings.dat") << text;
    }
    static QRadioButton* Radio(CSettingsDlg& d, int id) {
        return static_cast<QRadioButton*>(FindControl(&d, id));
    }
    static QLineEdit* Address(CSettingsDlg& d) {
        return static_cast<QLineEdit*>(FindControl(&d, 1048));
    }
    // Opens the dialog, lets `act` work on it and returns once it closed;
    // `boxes` are the message boxes expected meanwhile.
    void Run(const std::function<void(CSettingsDlg&)>& act,
             const std::vector<std::string>& boxes = {}) {
        CSettingsDlg dialog(state, help);
        script.Then("Connection Settings", [&](QDialog& d) { act(static_cast<CSettingsDlg&>(d)); });
        for (const std::string& caption : boxes)
            script.Press(caption);
        RunModal(dialog);
    }
    static void Save(CSettingsDlg& d) { QTest::mouseClick(FindControl(&d, 1), Qt::LeftButton); }
};

TEST_F(ConnectionDialogTest, CustomAddressIsStoredUpperCaseAndComesBackSelected) {
    Run([](CSettingsDlg& d) {
        EXPECT_TRUE(Radio(d, 1046)->isChecked()); // no file: LPT1
        EXPECT_FALSE(Address(d)->isEnabled());
        QTest::mouseClick(Radio(d, 1047), Qt::LeftButton);
        EXPECT_TRUE(Address(d)->isEnabled());
        QTest::keyClicks(Address(d), "3bc");
        EXPECT_EQ(Address(d)->text(), "3BC");
        Save(d);
    });
    EXPECT_EQ(Stored(), "3BC");
    EXPECT_EQ(state.link.portBase, 0x3BC);

    Run([](CSettingsDlg& d) {
        EXPECT_TRUE(Radio(d, 1047)->isChecked());
        EXPECT_TRUE(Address(d)->isEnabled());
        EXPECT_EQ(Address(d)->text(), "3BC");
        // Typed with a prefix: kept as typed, in upper case.
        Address(d)->clear();
        QTest::keyClicks(Address(d), "0x2f8");
        Save(d);
    });
    EXPECT_EQ(Stored(), "0X2F8");
    EXPECT_EQ(state.link.portBase, 0x2F8);
}

TEST_F(ConnectionDialogTest, CustomAddressOfAStandardPortOpensAsThatPort) {
    Store("378");
    Run([](CSettingsDlg& d) {
        EXPECT_TRUE(Radio(d, 1046)->isChecked());
        EXPECT_FALSE(Address(d)->isEnabled());
        EXPECT_EQ(Address(d)->text(), ""); // emptied for a standard port
        QTest::mouseClick(Radio(d, 1049), Qt::LeftButton);
        Save(d);
    });
    EXPECT_EQ(Stored(), "278");
    EXPECT_EQ(state.link.portBase, 0x278);
}

TEST_F(ConnectionDialogTest, EmptyOrMalformedCustomAddressIsRefusedAndTheDialogStays) {
    const struct {
        const char* typed;
        const char* caption;
        const char* text;
    } cases[] = {
        {"", "Empty Address Found", "Empty port address found. Please enter a valid address."},
        {"zz9", "Invalid Address Found",
         "The port address \"ZZ9\" is not a hexadecimal number of 1 to 4 digits. Please enter a "
         "valid address, such as 3BC."},
    };
    for (const auto& c : cases) {
        Store("278");
        bool stillOpen = false;
        Run(
            [&](CSettingsDlg& d) {
                QTest::mouseClick(Radio(d, 1047), Qt::LeftButton);
                QTest::keyClicks(Address(d), c.typed);
                Save(d);
                stillOpen = d.isVisible();
                QTest::keyClick(&d, Qt::Key_F1); // does nothing here
                QTest::mouseClick(FindControl(&d, 2), Qt::LeftButton);
            },
            {c.caption});
        EXPECT_TRUE(stillOpen) << c.typed;
        EXPECT_EQ(script.texts.back(), c.text);
        EXPECT_EQ(script.icons.back(), QMessageBox::Warning);
        EXPECT_EQ(Stored(), "278");
        EXPECT_EQ(state.link.portBase, 0x278);
    }
    EXPECT_EQ(help.opened, 0);
}

TEST_F(ConnectionDialogTest, CancelKeepsTheFileButOpeningReloadedTheAddress) {
    Store("3BC");
    state.link.portBase = 0x278;
    Run([](CSettingsDlg& d) {
        QTest::mouseClick(Radio(d, 1046), Qt::LeftButton);
        QTest::mouseClick(FindControl(&d, 2), Qt::LeftButton);
    });
    EXPECT_EQ(Stored(), "3BC");
    EXPECT_EQ(state.link.portBase, 0x3BC);
}

TEST_F(ConnectionDialogTest, MainWindowButtonOpensItAndTheNextFlowUsesTheNewPortAndProgrammer) {
    Open(Fennick());
    WaitForFlows(1);
    script.Then("Connection Settings", [](QDialog& d) {
        auto& dialog = static_cast<CSettingsDlg&>(d);
        QTest::mouseClick(Radio(dialog, 1049), Qt::LeftButton);
        auto* programmer = static_cast<QComboBox*>(FindControl(&d, 1050));
        auto* serial = static_cast<QLineEdit*>(FindControl(&d, 1051));
        EXPECT_EQ(programmer->currentText(), "Parallel port cable");
        EXPECT_FALSE(serial->isEnabled()) << "the parallel port has no serial";
        programmer->setCurrentIndex(2);
        EXPECT_EQ(programmer->currentText(), "USBasp (USB, AVR boards only)");
        QTest::keyClicks(serial, " S1 ");
        Save(dialog);
    });
    Click(1010);
    EXPECT_EQ(state.link.portBase, 0x278);
    EXPECT_EQ(ProgrammerName(board->chosen), "usbasp:S1");
    // The simulated board answers at 0x378 only.
    script.Press("Board Read Failed");
    Click(1007);
    EXPECT_EQ(Panel()[0], "Unknown");
}

} // namespace
} // namespace kelvo
