#include "ui/PageTemplate.h"

#include "ui/ControlId.h"
#include "ui/DialogUnits.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace kelvo {

namespace {

void AddItems(QComboBox* combo, std::span<const std::string_view> items) {
    for (std::string_view item : items)
        combo->addItem(PageText(item));
}

} // namespace

void SetEnabled(std::initializer_list<QWidget*> controls, bool enabled) {
    for (QWidget* control : controls)
        control->setEnabled(enabled);
}

void SetVisible(std::initializer_list<QWidget*> controls, bool visible) {
    for (QWidget* control : controls)
        control->setVisible(visible);
}

template <typename T> T* PageTemplate::Place(T* control, DluRect rect, int id) {
    control->setGeometry(DluToPixels(page_->font(), rect.x, rect.y, rect.width, rect.height));
    if (id != kNoId)
        SetControlId(control, id);
    control->show();
    return control;
}

QLabel* PageTemplate::Text(const char* text, DluRect rect, int id) {
    auto* label = new QLabel(QString::fromUtf8(text), page_);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return Place(label, rect, id);
}

QGroupBox* PageTemplate::Group(const char* title, DluRect rect, int id) {
    auto* group = new QGroupBox(QString::fromUtf8(title), page_);
    group->setAttribute(Qt::WA_TransparentForMouseEvents);
    return Place(group, rect, id);
}

QRadioButton* PageTemplate::Radio(const char* text, DluRect rect, int id) {
    return Place(new QRadioButton(QString::fromUtf8(text), page_), rect, id);
}

QPushButton* PageTemplate::Button(const char* text, DluRect rect, int id) {
    auto* button = new QPushButton(QString::fromUtf8(text), page_);
    // Enter belongs to the main window, which ignores it.
    button->setAutoDefault(false);
    return Place(button, rect, id);
}

QComboBox* PageTemplate::DropList(DluRect rect, int id, std::span<const std::string_view> items) {
    auto* combo = new QComboBox(page_);
    AddItems(combo, items);
    combo->setCurrentIndex(-1);
    return Place(combo, rect, id);
}

QComboBox* PageTemplate::SortedDropDown(DluRect rect, int id,
                                        std::span<const std::string_view> items) {
    auto* combo = new QComboBox(page_);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    AddItems(combo, items);
    combo->setCurrentIndex(-1);
    QObject::connect(combo->lineEdit(), &QLineEdit::editingFinished, combo, [combo] {
        const int named = combo->findText(combo->currentText(), Qt::MatchFixedString);
        if (named >= 0)
            combo->setCurrentIndex(named);
        else
            combo->setEditText(combo->currentIndex() >= 0 ? combo->itemText(combo->currentIndex())
                                                          : QString());
    });
    return Place(combo, rect, id);
}

QLineEdit* PageTemplate::Edit(DluRect rect, int id) {
    auto* edit = new QLineEdit(page_);
    edit->setReadOnly(true);
    return Place(edit, rect, id);
}

UpDownControl* PageTemplate::Spin(DluRect rect, int id, QLineEdit* buddy) {
    auto* spin = new UpDownControl(page_);
    spin->setBuddy(buddy);
    return Place(spin, rect, id);
}

QTreeWidget* PageTemplate::CheckTree(DluRect rect, int id) {
    auto* tree = new QTreeWidget(page_);
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(false);
    tree->setColumnCount(1);
    return Place(tree, rect, id);
}

} // namespace kelvo
