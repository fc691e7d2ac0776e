#include "ui/DesktopHelp.h"

#include "files/InputFile.h"
#include "ui/ControlId.h"

#include <QDesktopServices>
#include <QMenu>
#include <QUrl>
#include <QWhatsThis>

#include <algorithm>
#include <optional>
#include <utility>

namespace kelvo {

namespace fs = std::filesystem;

void QtHelpDisplay::OpenUrl(const QUrl& url) {
    // The result is not looked at: a missing browser shows nothing.
    QDesktopServices::openUrl(url);
}

bool QtHelpDisplay::OfferWhatsThis(QWidget* control, const QPoint& globalPos) {
    QMenu menu(control);
    QAction* whatsThis = menu.addAction(QStringLiteral("What's This?"));
    return menu.exec(globalPos) == whatsThis;
}

void QtHelpDisplay::ShowText(QWidget* control, const QPoint& globalPos, const QString& text) {
    QWhatsThis::showText(globalPos, text, control);
}

namespace {

std::string Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(first, last - first + 1));
}

// The topic number of a ".topic N" line, or -1 for any other line.
int TopicNumberOf(std::string_view line) {
    constexpr std::string_view kTag = ".topic";
    if (line.substr(0, kTag.size()) != kTag)
        return -1;
    const std::string rest = Trim(line.substr(kTag.size()));
    if (rest.empty() || !std::all_of(rest.begin(), rest.end(),
                                     [](unsigned char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return rest.size() > 6 ? -1 : std::stoi(rest);
}

bool ReadFile(const fs::path& path, std::string& content) {
    // Topic files are a few KB; a device or FIFO in their place is not read.
    constexpr std::size_t kLimit = 1 << 20;
    std::string why;
    std::optional<std::string> text = ReadInputFile(path, kLimit, why);
    if (!text)
        return false;
    content = std::move(*text);
    return true;
}

} // namespace

std::string TopicText(std::string_view topicFile, int topic) {
    std::string text;
    bool inTopic = false;
    std::size_t start = 0;
    while (start <= topicFile.size()) {
        std::size_t end = topicFile.find('\n', start);
        if (end == std::string_view::npos)
            end = topicFile.size();
        std::string_view line = topicFile.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;
        if (const int number = TopicNumberOf(line); number >= 0) {
            if (inTopic)
                break;
            inTopic = number == topic;
        } else if (inTopic && !(!line.empty() && line.front() == ';')) {
            text.append(line).push_back('\n');
        }
    }
    return Trim(text);
}

DesktopHelp::DesktopHelp(const std::string& startDirectory,
                         std::vector<std::filesystem::path> otherFolders, HelpDisplay& display)
    : startDirectory_(startDirectory), otherFolders_(std::move(otherFolders)), display_(display) {}

fs::path DesktopHelp::Find(std::string_view name) const {
    std::vector<fs::path> bases;
    if (!startDirectory_.empty())
        bases.emplace_back(startDirectory_);
    bases.insert(bases.end(), otherFolders_.begin(), otherFolders_.end());
    for (const fs::path& base : bases) {
        const fs::path candidate = base / kHelpFolderName / name;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec))
            return candidate;
    }
    return {};
}

fs::path DesktopHelp::ManualPath() const {
    return Find(kManualPage);
}

void DesktopHelp::OpenHelpFile() {
    const fs::path manual = ManualPath();
    if (!manual.empty())
        display_.OpenUrl(QUrl::fromLocalFile(QString::fromStdString(manual.string())));
}

void DesktopHelp::ShowContextHelp(QWidget* control, const ContextHelpTable& table,
                                  const QPoint& globalPos) {
    if (!control)
        return;
    const int id = ControlIdOf(control);
    const auto pair = std::find_if(table.pairs.begin(), table.pairs.end(),
                                   [id](const ContextHelpPair& p) { return p.controlId == id; });
    if (pair == table.pairs.end())
        return;
    const fs::path topicFile = Find(table.topicFile);
    std::string content;
    if (topicFile.empty() || !ReadFile(topicFile, content))
        return;
    const std::string text = TopicText(content, pair->topic);
    if (text.empty())
        return;
    if (display_.OfferWhatsThis(control, globalPos))
        display_.ShowText(control, globalPos, QString::fromStdString(text));
}

} // namespace kelvo
