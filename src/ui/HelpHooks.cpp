#include "ui/HelpHooks.h"

#include "ui/ControlId.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace kelvo {

namespace {

class HelpFilter final : public QObject {
public:
    HelpFilter(QWidget* window, HelpService& help, const ContextHelpTable& table, bool f1Opens)
        : QObject(window), window_(window), help_(help), table_(table), f1Opens_(f1Opens) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !(widget == window_ || window_->isAncestorOf(widget)))
            return false;
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
            if (f1Opens_)
                help_.OpenHelpFile();
            return true;
        }
        if (event->type() == QEvent::ContextMenu) {
            if (QWidget* control = ControlAt(window_, widget))
                help_.ShowContextHelp(control, table_,
                                      static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        return false;
    }

private:
    QWidget* window_;
    HelpService& help_;
    const ContextHelpTable& table_;
    bool f1Opens_;
};

} // namespace

void InstallHelp(QWidget* window, HelpService& help, const ContextHelpTable& table, bool f1Opens) {
    // On the application, so controls created later are covered too. Filters
    // installed later run first, so a page inside the main window answers
    // for its own controls; the filter goes with the window.
    QCoreApplication::instance()->installEventFilter(new HelpFilter(window, help, table, f1Opens));
}

} // namespace kelvo
