#pragma once

#include "ui/HelpHooks.h"

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class QUrl;

namespace kelvo {

// The name of the help folder: the manual (index.html and one page per
// window) and one topic file per window.
inline constexpr char kHelpFolderName[] = "Kelvo_Help";
inline constexpr char kManualPage[] = "index.html";

// What the help shows through. The Qt one opens the user's browser and pops
// up texts at the mouse; tests record instead.
class HelpDisplay {
public:
    virtual ~HelpDisplay() = default;
    virtual void OpenUrl(const QUrl& url) = 0;
    // Offers the one-item "What's This?" menu at `globalPos`; true when the
    // user chose it.
    virtual bool OfferWhatsThis(QWidget* control, const QPoint& globalPos) = 0;
    virtual void ShowText(QWidget* control, const QPoint& globalPos, const QString& text) = 0;
};

class QtHelpDisplay final : public HelpDisplay {
public:
    void OpenUrl(const QUrl& url) override;
    bool OfferWhatsThis(QWidget* control, const QPoint& globalPos) override;
    void ShowText(QWidget* control, const QPoint& globalPos, const QString& text) override;
};

// The text of `topic` in a topic file: the lines after ".topic N" up to the
// next ".topic" line, trimmed; lines starting with ";" are comments. Empty
// when the file has no such topic.
std::string TopicText(std::string_view topicFile, int topic);

// The help of the desktop program. The help folder is looked for in the
// start directory first (as recorded by the main window when it opens),
// then in each of `otherFolders` in order (the installed data folder,
// beside the executable). Missing help shows nothing and says nothing.
class DesktopHelp final : public HelpService {
public:
    DesktopHelp(const std::string& startDirectory, std::vector<std::filesystem::path> otherFolders,
                HelpDisplay& display);

    void OpenHelpFile() override;
    void ShowContextHelp(QWidget* control, const ContextHelpTable& table,
                         const QPoint& globalPos) override;

    // The manual's path, or empty when no help folder holds it.
    std::filesystem::path ManualPath() const;

private:
    // `name` in the first help folder that has it, or empty.
    std::filesystem::path Find(std::string_view name) const;

    const std::string& startDirectory_;
    std::vector<std::filesystem::path> otherFolders_;
    HelpDisplay& display_;
};

} // namespace kelvo
