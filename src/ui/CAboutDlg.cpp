#include "ui/CAboutDlg.h"

#include "ui/Artwork.h"
#include "ui/ControlId.h"
#include "ui/DesktopHelp.h"
#include "ui/DialogUnits.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <windows.h>
#endif

namespace kelvo {

namespace {

// Popup help for the about box: none of its controls has a topic.
const ContextHelpTable kAboutHelp{"", {}};

} // namespace

QString AboutText(const AboutInfo& info) {
    return QStringLiteral("Version %1\n%2\nHelp: %3")
        .arg(info.version, info.licence,
             info.helpLocation.isEmpty() ? QStringLiteral("not installed") : info.helpLocation);
}

CAboutDlg::CAboutDlg(const AboutInfo& info, HelpService& help, HelpDisplay& display,
                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("About Kelvo Application..."));
    auto* layout = new QVBoxLayout(this);

    auto* logo = new QLabel(this);
    const QSize logoSize = DluToPixels(font(), 145, 56);
    logo->setPixmap(KelvoLogo(logoSize, devicePixelRatioF()));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);

    auto* title = new QLabel(QStringLiteral("Kelvo Application Version 3.0"), this);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    auto* text = new QLabel(AboutText(info), this);
    text->setAlignment(Qt::AlignCenter);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* label, int id) {
        auto* b = new QPushButton(QString::fromLatin1(label), this);
        SetControlId(b, id);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* helpButton = button("Help", 4);
    QPushButton* website = button("Visit Website", 3);
    QPushButton* ok = button("OK", 1);
    ok->setDefault(true);
    layout->addLayout(buttons);

    connect(helpButton, &QPushButton::clicked, this, [&help] { help.OpenHelpFile(); });
    const QUrl url(info.website);
    connect(website, &QPushButton::clicked, this, [&display, url] { display.OpenUrl(url); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    InstallHelp(this, help, kAboutHelp);
    setFixedSize(sizeHint());
}

namespace {

#ifdef Q_OS_WIN

constexpr UINT_PTR kAboutCommand = 0x10; // the system menu command of the entry

// Runs the about box when the window's system menu sends its command.
class SystemMenuEntry final : public QObject, public QAbstractNativeEventFilter {
public:
    SystemMenuEntry(QWidget* window, std::function<void()> showAbout)
        : QObject(window), hwnd_(reinterpret_cast<HWND>(window->winId())),
          showAbout_(std::move(showAbout)) {
        HMENU menu = GetSystemMenu(hwnd_, FALSE);
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kAboutCommand, L"&About Kelvo...");
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~SystemMenuEntry() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "windows_generic_MSG")
            return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->hwnd != hwnd_ || msg->message != WM_SYSCOMMAND ||
            (msg->wParam & 0xFFF0) != kAboutCommand)
            return false;
        showAbout_();
        return true;
    }

private:
    HWND hwnd_;
    std::function<void()> showAbout_;
};

#else

// The logo as the about entry: a left click, Enter or Space on it, or the
// one entry of its keyboard menu.
class LogoEntry final : public QObject {
public:
    LogoEntry(QWidget* logo, std::function<void()> showAbout)
        : QObject(logo), logo_(logo), showAbout_(std::move(showAbout)) {
        logo->setToolTip(QStringLiteral("Click the logo for About Kelvo (version, help, website)"));
        logo->setFocusPolicy(Qt::TabFocus);
        // A label draws no focus of its own; keyboard users must see it.
        logo->setStyleSheet(QStringLiteral("QLabel { border: 1px solid transparent; } "
                                           "QLabel:focus { border: 1px dotted palette(text); }"));
        logo->setCursor(Qt::PointingHandCursor);
        logo->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton ||
                !logo_->rect().contains(mouse->position().toPoint()))
                return false;
            showAbout_();
            return true;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return ||
                key->key() == Qt::Key_Enter) {
                showAbout_();
                return true;
            }
            if (key->key() == Qt::Key_Menu ||
                (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
                QMenu menu(logo_);
                QAction* about = menu.addAction(QStringLiteral("&About Kelvo..."));
                if (menu.exec(logo_->mapToGlobal(logo_->rect().center())) == about)
                    showAbout_();
                return true;
            }
            return false;
        }
        default:
            return false;
        }
    }

private:
    QWidget* logo_;
    std::function<void()> showAbout_;
};

#endif

} // namespace

void InstallAboutEntry(QWidget* window, QWidget* logo, std::function<void()> showAbout) {
#ifdef Q_OS_WIN
    Q_UNUSED(logo);
    new SystemMenuEntry(window, std::move(showAbout));
#else
    Q_UNUSED(window);
    new LogoEntry(logo, std::move(showAbout));
#endif
}

} // namespace kelvo
