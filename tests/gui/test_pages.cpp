// The option pages as built: their templates, sizes, help, and what they
// show and collect.
#include "PageBench.h"

#include "settings/Tables.h"
#include "ui/DialogUnits.h"
#include "ui/UpDownControl.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace kelvo {
namespace {

std::string IdText(const QWidget* w) {
    const int id = ControlIdOf(w);
    return id >= 0 ? " " + std::to_string(id) : "";
}

// One line per control of a page, in template order.
std::string Describe(QWidget* w) {
    const std::string id = IdText(w);
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return "group" + id + " " + g->title().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w))
        return "text" + id + " " + l->text().toStdString();
    if (auto* r = qobject_cast<QRadioButton*>(w))
        return "radio" + id + " " + r->text().toStdString();
    if (auto* b = qobject_cast<QPushButton*>(w))
        return "button" + id + " " + b->text().toStdString();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return (c->isEditable() ? "dropdown" : "list") + id + " x" + std::to_string(c->count());
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return (e->isReadOnly() ? "edit" : "writable edit") + id;
    if (auto* s = qobject_cast<UpDownControl*>(w)) {
        const auto& accels = s->accelerations();
        const std::string step = accels == DefaultUpDownAccels() ? "default"
                                 : accels.size() == 1            ? std::to_string(accels[0].step)
                                                                 : "?";
        return "spin" + id + " of" + IdText(s->buddy()) + " " + std::to_string(s->range().lower) +
               ".." + std::to_string(s->range().upper) + " step " + step;
    }
    if (qobject_cast<QTreeWidget*>(w))
        return "tree" + id;
    return "unexpected " + std::string(w->metaObject()->className());
}

struct PageTemplateCase {
    int page;
    int templateId;
    std::vector<std::string> controls;
};

const std::vector<PageTemplateCase>& Templates() {
    static const std::vector<PageTemplateCase> cases = {
        {kPageFiring,
         139,
         {"text Firing Mode:",
          "list 1029 x7",
          "text Rate of Fire (ROF):",
          "list 1030 x16",
          "text AE Bypass ROF:",
          "list 1032 x14",
          "group Operation Mode:",
          "radio 1042 Standard",
          "radio 1043 Test Max CPS",
          "group Trigger Debounce:",
          "edit 1002",
          "spin 1037 of 1002 1..30 step 1",
          "text Mult.",
          "group Solenoid Dwell:",
          "edit 1001",
          "spin 1036 of 1001 5..37 step 1",
          "text ms",
          "group 1082 ABS Dwell:",
          "edit 1083",
          "spin 1085 of 1083 0..10 step 1",
          "text 1084 ms",
          "group 1086 Mechanical Debounce:",
          "edit 1087",
          "spin 1089 of 1087 0..15 step 1",
          "text 1088 Mult."}},
        {kPageClosedBolt,
         147,
         {"group 1069 Bolt Delay Offset:", "edit 1013", "spin 1039 of 1013 0..14 step 1",
          "text 1072 ms", "group 1070 AS Delay:", "edit 1014", "spin 1046 of 1014 0..30 step 1",
          "text 1073 ms", "group 1071 Min. Bolt Open:", "edit 1015",
          "spin 1047 of 1015 0..60 step 1", "text 1074 ms", "group 1075 E.B. Min. Bolt Open:",
          "edit 1016", "spin 1048 of 1016 0..60 step 1", "text 1076 ms"}},
        {kPageEye,
         142,
         {"group After Eye Delay:", "radio 1038 Bypass Eye", "radio 1040 Delay", "edit 1003",
          "spin 1041 of 1003 0..13 step default", "text 1045 ms",
          "group 1075 Eye Sensitivity:", "edit 1076", "spin 1048 of 1076 2..250 step 1",
          "group 1067 Eye Mode:", "dropdown 1080 x6", "text 1081 Bolt Timer Wait Time:",
          "edit 1077", "spin 1049 of 1077 0..40 step 1", "text 1046 ms"}},
        {kPageTimer,
         141,
         {"group Timer Init:", "list 1031 x3", "group Timer Time:", "edit 1004",
          "spin 1056 of 1004 1..15 step 1", "text :", "edit 1012", "spin 1057 of 1012 0..59 step 5",
          "group Timer Mode:", "radio 1048 Timer Counts Down", "radio 1049 Timer Counts Up"}},
        {kPageLcdDisplay,
         143,
         {"text Section 1 Display:", "list 1021 x10", "text Section 1-B Display:", "list 1022 x10",
          "text Section 2 Display:", "list 1023 x10",
          "text Section 2-B Display:", "list 1024 x10"}},
        {kPageLcdMenu, 144, {"tree 1063"}},
        {kPagePresets,
         140,
         {"text Selecting a preset will load the appropriate options into the dialogs. ",
          "group Presets:", "radio 1052 Conservative", "radio 1053 Normal", "radio 1054 Fast",
          "radio 1055 Extreme",
          "text Clicking the \"Factory Defaults\" button will load the board and dialogs with the "
          "default factory settings. ",
          "button 1077 Factory Defaults"}},
        {kPagePower,
         146,
         {"group Powersave Time:", "edit 1014", "spin 1039 of 1014 1..250 step 1", "text Minutes"}},
        {kPageDialogMode,
         145,
         {"text Select which set of options you want displayed in the menus. Changing this has "
          "no effect on the board.",
          "group 1064 Dialog Mode:", "radio 1058 Display Open Bolt Options",
          "radio 1059 Display Closed Bolt Options"}},
    };
    return cases;
}

std::vector<QWidget*> Controls(QWidget* page) {
    std::vector<QWidget*> out;
    for (QObject* child : page->children())
        if (auto* w = qobject_cast<QWidget*>(child))
            out.push_back(w);
    return out;
}

TEST(OptionPages, EveryPageBuildsItsTemplate) {
    PageBench b;
    for (const PageTemplateCase& c : Templates()) {
        EXPECT_EQ(b.Page(c.page).GetTemplateId(), c.templateId) << c.page;
        QWidget* page = b.Show(c.page);
        std::vector<std::string> described;
        for (QWidget* w : Controls(page))
            described.push_back(Describe(w));
        EXPECT_EQ(described, c.controls) << "page " << c.page;
    }
}

// Whether `w` shows its text whole at its size.
bool TextFits(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->heightForWidth(l->width()) <= l->height() &&
               l->minimumSizeHint().width() <= l->width();
    if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w))
        return w->sizeHint().width() <= w->width() && w->sizeHint().height() <= w->height();
    if (qobject_cast<QGroupBox*>(w) || qobject_cast<QLineEdit*>(w))
        return w->minimumSizeHint().width() <= w->width() &&
               w->minimumSizeHint().height() <= w->height();
    return true;
}

TEST(OptionPages, EveryPageFitsItsBoxWithTextUncutAndNoOverlaps) {
    for (const int mode : {0, 1}) {
        PageBench b("Quarle", mode);
        for (int p = 0; p < 9; ++p) {
            QWidget* page = b.Show(p);
            EXPECT_EQ(page->size(), DluToPixels(page->font(), 250, 122));
            const std::vector<QWidget*> controls = Controls(page);
            for (QWidget* w : controls) {
                const std::string what = "page " + std::to_string(p) + ": " + Describe(w);
                EXPECT_TRUE(page->rect().contains(w->geometry())) << what;
                EXPECT_TRUE(TextFits(w))
                    << what << " " << w->width() << "x" << w->height() << " hint "
                    << w->sizeHint().width() << "x" << w->sizeHint().height() << " min "
                    << w->minimumSizeHint().width() << "x" << w->minimumSizeHint().height();
            }
            // Group frames hold controls; nothing else may overlap.
            for (std::size_t i = 0; i < controls.size(); ++i) {
                for (std::size_t j = i + 1; j < controls.size(); ++j) {
                    if (qobject_cast<QGroupBox*>(controls[i]) ||
                        qobject_cast<QGroupBox*>(controls[j]))
                        continue;
                    EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                        << Describe(controls[i]) << " and " << Describe(controls[j]);
                }
            }
        }
    }
}

TEST(OptionPages, APageNotOnScreenCollectsNothing) {
    PageBench b;
    for (int p = 0; p < 9; ++p) {
        b.Show(p);
        b.Page(p).DestroyPage();
        b.state.settingsImage.fill(0);
        b.state.boardInfo.dialogMode = 0;
        b.Page(p).Collect(CollectVariant::SwitchPage);
        EXPECT_EQ(b.state.settingsImage, BoardSettingsImage{}) << p;
        EXPECT_EQ(b.state.boardInfo.dialogMode, 0) << p;
    }
}

struct HelpCase {
    int page;
    const char* file;
    std::vector<std::pair<int, int>> pairs;
};

TEST(OptionPages, RightClickOnEachHelpedControlAsksForItsPagesTopic) {
    const HelpCase cases[] = {
        {kPageFiring,
         "FiringDialog.txt",
         {{1042, 1},
          {1043, 2},
          {1029, 3},
          {1030, 4},
          {1037, 5},
          {1036, 6},
          {1032, 7},
          {1089, 9},
          {1085, 6}}},
        {kPageClosedBolt, "CBFiringDialog.txt", {{1039, 1}, {1046, 2}, {1047, 3}, {1048, 4}}},
        {kPageEye,
         "EyeDialog.txt",
         {{1038, 1}, {1040, 3}, {1041, 4}, {1080, 5}, {1077, 6}, {1049, 6}, {1048, 7}}},
        {kPageTimer, "TimerDialog.txt", {{1031, 1}, {1056, 2}, {1057, 3}, {1049, 4}, {1048, 5}}},
        {kPageLcdDisplay, "LCDDisplayDialog.txt", {{1021, 1}, {1022, 2}, {1023, 3}, {1024, 4}}},
        {kPageLcdMenu, "LCDMenuDialog.txt", {{1063, 1}}},
        {kPagePresets,
         "PresetsDialog.txt",
         {{1052, 1}, {1053, 2}, {1054, 3}, {1055, 4}, {1077, 5}}},
        {kPagePower, "PowerDialog.txt", {{1039, 1}}},
        {kPageDialogMode, "DialogModeDialog.txt", {{1058, 1}, {1059, 2}}},
    };
    PageBench b; // a Quarle board in open-bolt mode shows every Eye control
    b.state.settingsImage[entry::eyeMode] = 1; // a bolt-timer mode enables the wait field
    for (const HelpCase& c : cases) {
        const ContextHelpTable& table = b.Page(c.page).HelpTable();
        EXPECT_EQ(table.topicFile, c.file);
        std::vector<std::pair<int, int>> pairs;
        for (const ContextHelpPair& pair : table.pairs)
            pairs.emplace_back(pair.controlId, pair.topic);
        EXPECT_EQ(pairs, c.pairs) << c.file;

        QWidget* page = b.Show(c.page);
        for (const auto& [id, topic] : c.pairs) {
            QWidget* control = FindControl(page, id);
            ASSERT_NE(control, nullptr) << c.file << " " << id;
            b.help.asked.clear();
            // Through the window, so whatever lies on top of the control gets it.
            const QPoint at = control->mapTo(&b.host, control->rect().center());
            QTest::mouseClick(b.host.windowHandle(), Qt::RightButton, Qt::NoModifier, at);
            EXPECT_EQ(b.help.asked, (std::vector<std::pair<int, std::string>>{{id, c.file}}))
                << c.file << " " << id;
        }
        // The page background offers nothing, and neither does the inside
        // of a group frame, whatever its id.
        std::vector<QPoint> background = {{page->width() - 2, page->height() - 2}};
        for (QGroupBox* group : page->findChildren<QGroupBox*>())
            background.push_back(group->geometry().bottomRight() - QPoint(4, 4));
        b.help.asked.clear();
        for (const QPoint& at : background)
            QTest::mouseClick(b.host.windowHandle(), Qt::RightButton, Qt::NoModifier,
                              page->mapTo(&b.host, at));
        EXPECT_TRUE(b.help.asked.empty()) << c.file << " asked for " << b.help.asked.front().first;
    }
}

} // namespace
} // namespace kelvo
