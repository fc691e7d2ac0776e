#pragma once

#include "ui/HelpHooks.h"

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;

namespace kelvo {

class HelpDisplay;

// What the about box says of this build.
struct AboutInfo {
    QString version;      // the build's version
    QString licence;      // one line
    QString website;      // opened by "Visit Website"
    QString helpLocation; // where the manual was found, or empty
};

// The three lines under the title: version, licence, where the help lives.
QString AboutText(const AboutInfo& info);

// "About Kelvo Application...": the logo, the program's name and version,
// "Help" and "Visit Website" (both leave the box open) and "OK".
class CAboutDlg final : public QDialog {
    Q_OBJECT

public:
    CAboutDlg(const AboutInfo& info, HelpService& help, HelpDisplay& display,
              QWidget* parent = nullptr);
};

// The about entry of the main window. On Windows: "&About Kelvo..." (command
// 0x10) in the window's system menu. Elsewhere there is no such menu: a left
// click on the logo runs `showAbout`, and so does the one entry of the
// logo's menu, which the keyboard reaches (Tab to the logo, then the menu
// key or Shift+F10). The logo's tooltip says so.
void InstallAboutEntry(QWidget* window, QWidget* logo, std::function<void()> showAbout);

} // namespace kelvo
