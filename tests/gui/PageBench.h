#pragma once

#include "ops/AppState.h"
#include "ui/ControlId.h"
#include "ui/OptionPages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

namespace kelvo {

// Records what the pages ask of the help.
struct PageHelpRecorder final : HelpService {
    int opened = 0;
    std::vector<std::pair<int, std::string>> asked; // control id, topic file
    void OpenHelpFile() override { ++opened; }
    void ShowContextHelp(QWidget* control, const ContextHelpTable& table, const QPoint&) override {
        asked.emplace_back(ControlIdOf(control), std::string(table.topicFile));
    }
};

// A board whose every page entry holds a valid value, different between
// fields a page might mix up.
inline BoardSettingsImage DistinctBoardImage() {
    BoardSettingsImage image{};
    const std::pair<std::size_t, std::int32_t> values[] = {{entry::firingMode, 3},
                                                           {entry::rofPeriod, 67},
                                                           {entry::dwell, 15},
                                                           {entry::debounce, 12},
                                                           {entry::afterEyeDelay, 6},
                                                           {entry::timerMode, 1},
                                                           {entry::timerStart, 1},
                                                           {entry::timerMinutesCode, 3},
                                                           {entry::timerSecondsFives, 7},
                                                           {entry::lcdSection1, 2},
                                                           {entry::lcdSection1B, 9},
                                                           {entry::lcdSection2, 4},
                                                           {entry::lcdSection2B, 0},
                                                           {entry::eyeMode, 4},
                                                           {entry::eyeBypass, 0},
                                                           {entry::operationMode, 1},
                                                           {entry::boltDelayOffset, 5},
                                                           {entry::minBoltOpen, 44},
                                                           {entry::asDelay, 17},
                                                           {entry::firmwareMajor, 3},
                                                           {entry::firmwareMinor, 10},
                                                           {entry::boardTypeCode, 3},
                                                           {entry::aeBypassRofPeriod, 111},
                                                           {entry::lcdMenuMask0, 0xA5},
                                                           {entry::lcdMenuMask1, 0x3C},
                                                           {entry::lcdMenuMask2, 0x05},
                                                           {entry::powersaveMinutes, 90},
                                                           {entry::eyeSensitivity, 8},
                                                           {entry::absDwell, 3},
                                                           {entry::ebMinBoltOpen, 29},
                                                           {entry::mechanicalDebounce, 7},
                                                           {entry::boltTimerWait, 33}};
    for (const auto& [index, value] : values)
        image[index] = value;
    return image;
}

// The nine pages with their environment, shown inside a frame the way the
// main window shows them.
struct PageBench {
    explicit PageBench(std::string boardTypeName = "Quarle", int dialogMode = 0) {
        state.settingsImage = DistinctBoardImage();
        state.boardInfo.boardTypeName = std::move(boardTypeName);
        state.boardInfo.dialogMode = dialogMode;
        host.resize(800, 600);
        placeholder->setGeometry(10, 10, 100, 100);
        host.show();
    }

    // Shows `page` (destroying any page shown before) and returns its window.
    QWidget* Show(int page) {
        for (auto& p : pages)
            p->DestroyPage();
        pages[static_cast<std::size_t>(page)]->CreatePage(&host, placeholder, {4, 15, 4, 6});
        return pages[static_cast<std::size_t>(page)]->window();
    }
    CRHGenericChildDialog& Page(int page) { return *pages[static_cast<std::size_t>(page)]; }

    template <typename T = QWidget> T* Control(int page, int id) {
        QWidget* window = Page(page).window();
        QWidget* control = window ? FindControl(window, id) : nullptr;
        return qobject_cast<T*>(control);
    }

    AppState state;
    PageHelpRecorder help;
    int flowRuns = 0;
    std::function<void(const std::function<void(FlowContext&)>&)> runFlow;
    PageEnvironment env{state, help, [this](const std::function<void(FlowContext&)>& flow) {
                            ++flowRuns;
                            if (runFlow)
                                runFlow(flow);
                        }};
    QWidget host;
    QWidget* placeholder = new QWidget(&host);
    OptionPageSet pages = MakeOptionPages(env);
};

// A left click at `at` (the widget's centre by default), as the user makes it.
inline void LeftClick(QWidget* widget, QPoint at = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                      at.isNull() ? widget->rect().center() : at);
}

// Picks a list item the way the user does: open the list, click the item.
inline void PickItem(QComboBox* combo, int index) {
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    const QRect item = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
}

} // namespace kelvo
