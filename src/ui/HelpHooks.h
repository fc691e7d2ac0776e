#pragma once

#include <QPoint>

#include <string_view>
#include <vector>

class QWidget;

namespace kelvo {

// One row of a window's context-help table: a control id and its topic.
struct ContextHelpPair {
    int controlId = 0;
    int topic = 0;
};

// A window's context help: its topic file inside the help and the topics of
// its controls.
struct ContextHelpTable {
    std::string_view topicFile;
    std::vector<ContextHelpPair> pairs;
};

// What the windows ask of the help: F1 opens the manual, a right-click on a
// control offers that control's topic. Missing help shows nothing.
class HelpService {
public:
    virtual ~HelpService() = default;
    virtual void OpenHelpFile() = 0;
    // `control` is the control under the mouse (it carries a control id),
    // `table` the window's table, `globalPos` where the popup goes.
    virtual void ShowContextHelp(QWidget* control, const ContextHelpTable& table,
                                 const QPoint& globalPos) = 0;
};

// Routes F1 and right-clicks of `window` and its children to `help`: F1
// opens the help file (unless `f1Opens` is false: the request is then
// swallowed); a right-click on a control carrying an id asks for context
// help with `table`; a right-click on the background does nothing. The
// filter lives as long as `window`; `table` must outlive it.
void InstallHelp(QWidget* window, HelpService& help, const ContextHelpTable& table,
                 bool f1Opens = true);

} // namespace kelvo
