#pragma once

#include "ops/BoardSearch.h"
#include "settings/PageValues.h"
#include "ui/HelpHooks.h"

#include <QMargins>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace kelvo {

// What the option pages work with: the process state (the settings image,
// the board information and the display mode), the help, and a way to run
// a board flow the way the main window runs its buttons' flows (the Presets
// page's Factory Defaults).
struct PageEnvironment {
    AppState& state;
    HelpService& help;
    std::function<void(const std::function<void(FlowContext&)>&)> runFlow;
};

// Base of the nine option pages. The page object lives as long as the main
// window; its window exists only while the page is on screen: CreatePage
// builds it from the page's template and fills it from the image,
// DestroyPage removes it.
class CRHGenericChildDialog {
public:
    explicit CRHGenericChildDialog(PageEnvironment& env) : env_(env) {}
    virtual ~CRHGenericChildDialog();
    CRHGenericChildDialog(const CRHGenericChildDialog&) = delete;
    CRHGenericChildDialog& operator=(const CRHGenericChildDialog&) = delete;

    // The design's template id of the page.
    virtual int GetTemplateId() const = 0;
    // The page's context-help table (topic file and control pairs).
    virtual const ContextHelpTable& HelpTable() const = 0;

    // Creates the page window as a child of `parent`, runs its
    // initialisation, places it at the placeholder's top left plus the
    // margins, and resizes the placeholder to the page plus the margins.
    void CreatePage(QWidget* parent, QWidget* placeholder, const QMargins& margins = {});
    void DestroyPage();
    // The page window, or null while the page is not on screen.
    QWidget* window() const { return window_; }

    // Takes the values of the page's controls into the image (or, for the
    // Dialog Mode page, into dialogMode). The Presets page collects nothing.
    virtual void Collect(CollectVariant variant) = 0;

protected:
    // Builds the template's controls into `page`, which already has the
    // template's fixed size (250 x 122 dialog units), each control carrying
    // its control id.
    virtual void BuildTemplate(QWidget* page) = 0;
    // Spin ranges and steps, the fill from the image, the enabling rules.
    virtual void OnInitDialog() = 0;

    PageEnvironment& env() const { return env_; }
    AppState& state() const { return env_.state; }

private:
    PageEnvironment& env_;
    QPointer<QWidget> window_;
};

} // namespace kelvo
