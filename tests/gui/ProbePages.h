#pragma once

#include "ui/CRHGenericChildDialog.h"
#include "ui/ControlId.h"
#include "ui/OptionPages.h"

#include <QLineEdit>

#include <vector>

namespace kelvo {

// Stand-ins for the option pages, for tests of the main window's page
// handling: page n shows one image entry in an edit with id 5000 + n and
// logs every collection. The Presets and Dialog Mode pages hold nothing.
struct ProbeLog {
    struct Collection {
        int page;
        CollectVariant variant;
        bool operator==(const Collection&) const = default;
    };
    std::vector<Collection> collections;
    std::vector<int> created;
};

class ProbePage final : public CRHGenericChildDialog {
public:
    static constexpr std::size_t kEntries[9] = {
        entry::debounce,  entry::minBoltOpen,      entry::boltTimerWait,
        entry::timerMode, entry::lcdSection1,      entry::lcdMenuMask0,
        entry::unused,    entry::powersaveMinutes, entry::unused};

    ProbePage(PageEnvironment& env, int number, ProbeLog& log)
        : CRHGenericChildDialog(env), number_(number), log_(log) {}

    int GetTemplateId() const override { return 139 + number_; }
    const ContextHelpTable& HelpTable() const override {
        static const ContextHelpTable table{"Probe.txt", {}};
        return table;
    }
    void Collect(CollectVariant variant) override {
        log_.collections.push_back({number_, variant});
        if (Holds())
            state().settingsImage[kEntries[number_]] = edit_->text().toInt();
    }
    QLineEdit* edit() const { return edit_; }

protected:
    void BuildTemplate(QWidget* page) override {
        edit_ = new QLineEdit(page);
        SetControlId(edit_, 5000 + number_);
    }
    void OnInitDialog() override {
        log_.created.push_back(number_);
        if (Holds())
            edit_->setText(QString::number(state().settingsImage[kEntries[number_]]));
    }

private:
    bool Holds() const { return kEntries[number_] != entry::unused; }

    int number_;
    ProbeLog& log_;
    QLineEdit* edit_ = nullptr;
};

inline OptionPageSet MakeProbePages(PageEnvironment& env, ProbeLog& log) {
    OptionPageSet pages;
    for (int i = 0; i < 9; ++i)
        pages[static_cast<std::size_t>(i)] = std::make_unique<ProbePage>(env, i, log);
    return pages;
}

} // namespace kelvo
