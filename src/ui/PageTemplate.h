#pragma once

#include "ui/UpDownControl.h"

#include <QString>

#include <initializer_list>
#include <span>
#include <string_view>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QWidget;

namespace kelvo {

// Page records hold std::string; the widgets want QString.
inline QString PageText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The enabling and visibility rules switch controls in sets.
void SetEnabled(std::initializer_list<QWidget*> controls, bool enabled);
void SetVisible(std::initializer_list<QWidget*> controls, bool visible);

// A control's rectangle in dialog units.
struct DluRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Places a page's controls the way its dialog template does: at dialog-unit
// rectangles converted with the page's font, each carrying its control id
// (none for the template's anonymous static texts), later controls above
// earlier ones.
class PageTemplate {
public:
    static constexpr int kNoId = -1;

    explicit PageTemplate(QWidget* page) : page_(page) {}

    // Static text; wraps at word boundaries like a dialog's left-aligned text.
    QLabel* Text(const char* text, DluRect rect, int id = kNoId);
    // A group frame lets clicks through to what lies under it, as a dialog's
    // group box does, so the controls placed over it stay reachable.
    QGroupBox* Group(const char* title, DluRect rect, int id = kNoId);
    QRadioButton* Radio(const char* text, DluRect rect, int id);
    QPushButton* Button(const char* text, DluRect rect, int id);
    // A drop-down list of fixed items; `rect` is its closed size.
    QComboBox* DropList(DluRect rect, int id, std::span<const std::string_view> items);
    // A drop-down box with an edit field whose items are kept in the given
    // (already sorted) order; typed text never becomes an item, and text
    // that names no item is put back to the selected item's text.
    QComboBox* SortedDropDown(DluRect rect, int id, std::span<const std::string_view> items);
    // Numeric, read-only: only its spin and the program change the text.
    QLineEdit* Edit(DluRect rect, int id);
    UpDownControl* Spin(DluRect rect, int id, QLineEdit* buddy);
    QTreeWidget* CheckTree(DluRect rect, int id);

private:
    template <typename T> T* Place(T* control, DluRect rect, int id);

    QWidget* page_;
};

} // namespace kelvo
