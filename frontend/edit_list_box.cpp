#include "edit_list_box.h"

#include <algorithm>

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace quenbar {
namespace {

constexpr int kStripHeight = 22;
constexpr int kButtonWidth = 22;

QToolButton* strip_button(QWidget* parent, const char* name, const char* tip, const char* icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setToolTip(QString::fromUtf8(tip));
    button->setText(QString::fromUtf8(tip));
    button->setIcon(QIcon(QStringLiteral(":/quenbar/icons/") + QString::fromUtf8(icon)));
    button->setIconSize(QSize(14, 12));
    button->setAutoRaise(true);
    button->setFixedSize(kButtonWidth, kStripHeight - 2);
    // The list keeps the focus, so that an open edit ends only when a command runs.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

QString PickFolder(QWidget* parent, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("Directory name:"), start,
                                             QFileDialog::ShowDirsOnly);
}

CEditListBoxToolBar::CEditListBoxToolBar(QWidget* parent)
    : QFrame(parent),
      newButton(strip_button(this, "newButton", "New", "new.svg")),
      deleteButton(strip_button(this, "deleteButton", "Delete", "delete.svg")),
      moveUpButton(strip_button(this, "moveUpButton", "Move Up", "move_up.svg")),
      moveDownButton(strip_button(this, "moveDownButton", "Move Down", "move_down.svg")),
      m_title(new QLabel(this)) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setFixedHeight(kStripHeight);
    m_title->setObjectName(QStringLiteral("title"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(1, 0, 1, 0);
    row->setSpacing(0);
    row->addWidget(m_title, 1);
    for (QToolButton* button : {newButton, deleteButton, moveUpButton, moveDownButton}) {
        row->addWidget(button);
    }
}

void CEditListBoxToolBar::SetTitle(const QString& title) {
    m_title->setText(title);
}

CListBoxEx::CListBoxEx(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
}

void CListBoxEx::keyPressEvent(QKeyEvent* event) {
    const bool alt = event->modifiers() == Qt::AltModifier;
    if (alt && event->key() == Qt::Key_Up) {
        emit moveUpRequested();
    } else if (alt && event->key() == Qt::Key_Down) {
        emit moveDownRequested();
    } else if (event->key() == Qt::Key_Insert || event->key() == Qt::Key_Delete) {
        // Acted upon when the key is released.
    } else {
        QListWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CListBoxEx::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) {
        QListWidget::keyReleaseEvent(event);
    } else if (event->key() == Qt::Key_Insert) {
        emit newRequested();
    } else if (event->key() == Qt::Key_Delete) {
        emit deleteRequested();
    } else {
        QListWidget::keyReleaseEvent(event);
    }
}

void CListBoxEx::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressing = true;
    QListWidget::mousePressEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        setCurrentRow(-1);
        clearSelection();
    }
    m_pressing = false;
    emit clicked(index.isValid() ? index.row() : -1);
}

// The second press of a double-click selects like the first, then edits.
void CListBoxEx::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit editRequested();
    }
}

CItemEdit::CItemEdit(QWidget* parent) : QLineEdit(parent) {}

void CItemEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit editEnded(true);
    } else if (event->key() == Qt::Key_Escape) {
        // Kept from the dialog, which would close on Escape.
        emit editEnded(false);
    } else {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CItemEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (!m_browsing && event->reason() != Qt::PopupFocusReason) {
        emit editEnded(true);
    }
}

CEditListBox::CEditListBox(QWidget* parent)
    : QWidget(parent),
      m_toolBar(new CEditListBoxToolBar(this)),
      m_list(new CListBoxEx(this)),
      m_editor(new CItemEdit(m_list->viewport())),
      m_browse(new QToolButton(m_list->viewport())) {
    m_list->setObjectName(QStringLiteral("entries"));
    m_editor->setObjectName(QStringLiteral("itemEdit"));
    m_browse->setObjectName(QStringLiteral("folderButton"));
    m_browse->setText(QStringLiteral("..."));
    // A click on "..." would otherwise hand the focus to the list and so end the edit.
    m_browse->setFocusPolicy(Qt::ClickFocus);
    m_browse->setFocusProxy(m_editor);
    m_editor->hide();
    m_browse->hide();
    setFocusProxy(m_list);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_toolBar);
    column->addWidget(m_list, 1);

    connect(m_toolBar->newButton, &QToolButton::clicked, this, &CEditListBox::NewEntry);
    connect(m_toolBar->deleteButton, &QToolButton::clicked, this, &CEditListBox::DeleteEntry);
    connect(m_toolBar->moveUpButton, &QToolButton::clicked, this, &CEditListBox::MoveUp);
    connect(m_toolBar->moveDownButton, &QToolButton::clicked, this, &CEditListBox::MoveDown);
    connect(m_list, &CListBoxEx::newRequested, this, &CEditListBox::NewEntry);
    connect(m_list, &CListBoxEx::deleteRequested, this, &CEditListBox::DeleteEntry);
    connect(m_list, &CListBoxEx::moveUpRequested, this, &CEditListBox::MoveUp);
    connect(m_list, &CListBoxEx::moveDownRequested, this, &CEditListBox::MoveDown);
    connect(m_list, &CListBoxEx::editRequested, this, &CEditListBox::EditEntry);
    connect(m_list, &CListBoxEx::clicked, this, [this](int row) {
        m_model.set_current(row);
        emit selectionChanged();
    });
    // Arrow keys and the like; clicks are reported once, by `clicked`.
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_showing || m_list->Pressing()) {
            return;
        }
        const QList<QListWidgetItem*> selected = m_list->selectedItems();
        m_model.set_current(selected.isEmpty() ? EntryList::kNone : m_list->row(selected[0]));
        emit selectionChanged();
    });
    connect(m_editor, &CItemEdit::editEnded, this, &CEditListBox::EndEdit);
    connect(m_browse, &QToolButton::clicked, this, &CEditListBox::Browse);
    for (QScrollBar* bar : {m_list->verticalScrollBar(), m_list->horizontalScrollBar()}) {
        bar->installEventFilter(this);
        connect(bar, &QScrollBar::valueChanged, this, &CEditListBox::PlaceEditor);
    }
    m_list->viewport()->installEventFilter(this);
}

void CEditListBox::SetTitle(const QString& title) {
    m_toolBar->SetTitle(title);
}

void CEditListBox::AddEntry(const std::string& text) {
    EndEdit(true);
    m_model.append(text);
    Show();
    emit entriesChanged();
}

bool CEditListBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched != m_list->viewport()) {
        // A click on a scroll bar ends an edit as a loss of focus would.
        EndEdit(true);
    } else if (event->type() == QEvent::Resize && watched == m_list->viewport()) {
        PlaceEditor();
    }
    return QWidget::eventFilter(watched, event);
}

void CEditListBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        EndEdit(true);
    }
    QWidget::changeEvent(event);
}

bool CEditListBox::Prepare() {
    if (!isEnabled()) {
        return false;
    }
    EndEdit(true);
    return true;
}

void CEditListBox::NewEntry() {
    if (Prepare()) {
        m_model.begin_new();
        Show();
        OpenEditor(QString());
    }
}

void CEditListBox::EditEntry() {
    if (Prepare()) {
        const QString text = QString::fromStdString(m_model.begin_edit());
        Show();
        OpenEditor(text);
    }
}

void CEditListBox::DeleteEntry() {
    Change(&EntryList::remove_current);
}

void CEditListBox::MoveUp() {
    Change(&EntryList::move_current_up);
}

void CEditListBox::MoveDown() {
    Change(&EntryList::move_current_down);
}

void CEditListBox::Change(bool (EntryList::*change)()) {
    if (Prepare()) {
        const bool changed = (m_model.*change)();
        Show();
        m_list->setFocus();
        if (changed) {
            emit entriesChanged();
        }
    }
}

void CEditListBox::OpenEditor(const QString& text) {
    m_list->scrollToItem(m_list->item(m_model.edit_index()));
    m_editor->setText(text);
    m_editor->selectAll();
    PlaceEditor();
    m_editor->show();
    m_browse->show();
    m_editor->setFocus();
}

// Over the entry's line, 2 pixels narrower at each side and 2 taller at top and bottom, with
// the "..." button in the room that the edit box gives up at its right end.
void CEditListBox::PlaceEditor() {
    if (!IsEditing()) {
        return;
    }
    const QRect line = m_list->visualItemRect(m_list->item(m_model.edit_index()));
    const QRect area = line.adjusted(2, -2, -2, 2);
    const int edge = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int button = 2 * edge + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int height = std::max(area.height(), m_editor->minimumSizeHint().height());
    const int top = area.center().y() - height / 2;
    m_editor->setGeometry(area.left(), top, area.width() - button - edge, height);
    m_browse->setGeometry(m_editor->geometry().right() + 1 + edge, top, button, height);
}

void CEditListBox::EndEdit(bool accepted) {
    if (!IsEditing()) {
        return;
    }
    m_model.end_edit(accepted, m_editor->text().toStdString());
    Show();
    // The focus leaves the editor before it hides, so that its loss of focus finds no edit.
    m_list->setFocus();
    m_editor->hide();
    m_browse->hide();
    emit entriesChanged();
}

void CEditListBox::Browse() {
    if (!IsEditing()) {
        return;
    }
    const QString start = m_editor->text().isEmpty() ? QDir::currentPath() : m_editor->text();
    m_editor->m_browsing = true;
    const QString picked = m_pickFolder(this, start);
    m_editor->m_browsing = false;
    if (!picked.isEmpty()) {
        m_editor->setText(QDir::toNativeSeparators(picked));
        m_editor->selectAll();
    }
    m_editor->setFocus();
}

void CEditListBox::Show() {
    m_showing = true;
    const std::vector<std::string>& entries = m_model.entries();
    while (m_list->count() > static_cast<int>(entries.size())) {
        delete m_list->takeItem(m_list->count() - 1);
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const QString text = QString::fromStdString(entries[i]);
        if (static_cast<int>(i) < m_list->count()) {
            m_list->item(static_cast<int>(i))->setText(text);
        } else {
            m_list->addItem(text);
        }
    }
    if (m_model.current() == EntryList::kNone) {
        m_list->setCurrentRow(-1);
        m_list->clearSelection();
    } else {
        m_list->setCurrentRow(m_model.current());
    }
    m_showing = false;
}

}  // namespace quenbar
