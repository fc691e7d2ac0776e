#include "ui/CRHGenericChildDialog.h"

#include "ui/DialogUnits.h"

namespace kelvo {

namespace {

// Every page template is 250 x 122 dialog units.
constexpr int kPageWidthDlu = 250;
constexpr int kPageHeightDlu = 122;

} // namespace

CRHGenericChildDialog::~CRHGenericChildDialog() {
    DestroyPage();
}

void CRHGenericChildDialog::CreatePage(QWidget* parent, QWidget* placeholder,
                                       const QMargins& margins) {
    DestroyPage();
    auto* page = new QWidget(parent);
    window_ = page;
    page->setFixedSize(DluToPixels(page->font(), kPageWidthDlu, kPageHeightDlu));
    BuildTemplate(page);
    InstallHelp(page, env_.help, HelpTable());
    OnInitDialog();

    const QRect frame = placeholder->geometry();
    page->move(frame.left() + margins.left(), frame.top() + margins.top());
    placeholder->resize(page->width() + margins.left() + margins.right(),
                        page->height() + margins.top() + margins.bottom());
    // Qt delivers clicks to the topmost sibling, so the page sits above its
    // frame (a dialog's group box lets clicks through; Qt's does not).
    page->raise();
    page->show();
}

void CRHGenericChildDialog::DestroyPage() {
    delete window_.data();
    window_ = nullptr;
}

} // namespace kelvo
