// The editable list of data-set directories: a title strip with New, Delete, Move Up and Move
// Down, the list itself, and an in-place editor with a "..." folder picker. The rules live in
// EntryList; this is their window.
#pragma once

#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "entry_list.h"

class QLabel;
class QToolButton;

namespace quenbar {

// Asks the user for a folder, starting at `start`; an empty text when the user cancels.
using FolderPicker = std::function<QString(QWidget* parent, const QString& start)>;

// The system's folder picker with the instruction "Directory name:", directories only.
QString PickFolder(QWidget* parent, const QString& start);

// The strip above the list: the title at its left, the four command buttons at its right.
class CEditListBoxToolBar : public QFrame {
    Q_OBJECT

  public:
    explicit CEditListBoxToolBar(QWidget* parent = nullptr);
    void SetTitle(const QString& title);

    QToolButton* const newButton;
    QToolButton* const deleteButton;
    QToolButton* const moveUpButton;
    QToolButton* const moveDownButton;

  private:
    QLabel* const m_title;
};

// The list proper: its keys and the clicks that the entries' rules need.
class CListBoxEx : public QListWidget {
    Q_OBJECT

  public:
    explicit CListBoxEx(QWidget* parent = nullptr);
    // Inside the handling of a mouse press, whose selection change `clicked` reports.
    bool Pressing() const { return m_pressing; }

  signals:
    void newRequested();
    void deleteRequested();
    void moveUpRequested();
    void moveDownRequested();
    void editRequested();
    // A click on a line, or below the last one (`row` is then -1).
    void clicked(int row);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    bool m_pressing = false;
};

// The in-place editor: Enter accepts, Escape cancels, losing the focus accepts, except while
// the folder picker is open or a context menu shows.
class CItemEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CItemEdit(QWidget* parent = nullptr);
    bool m_browsing = false;

  signals:
    void editEnded(bool accepted);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

class CEditListBox : public QWidget {
    Q_OBJECT

  public:
    explicit CEditListBox(QWidget* parent = nullptr);

    void SetTitle(const QString& title);
    void SetFolderPicker(FolderPicker picker) { m_pickFolder = std::move(picker); }

    // Appends an entry without an edit, as a program would.
    void AddEntry(const std::string& text);

    int GetCount() const { return static_cast<int>(m_model.entries().size()); }
    std::string GetText(int index) const {
        return m_model.entries().at(static_cast<size_t>(index));
    }
    // The current entry, or EntryList::kNone.
    int CurrentIndex() const { return m_model.current(); }
    bool IsEditing() const { return m_model.editing() != EntryList::Editing::none; }

  public slots:
    void NewEntry();
    void EditEntry();
    void DeleteEntry();
    void MoveUp();
    void MoveDown();

  signals:
    // The user changed the current entry, or cleared it by a click below the last line.
    void selectionChanged();
    // An entry was added, edited, deleted or moved (an edit that is still open is none).
    void entriesChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // False while disabled. An open edit is accepted first, as its loss of focus would.
    bool Prepare();
    // Delete, Move Up and Move Down; the focus returns to the list.
    void Change(bool (EntryList::*change)());
    void OpenEditor(const QString& text);
    void PlaceEditor();
    void EndEdit(bool accepted);
    void Browse();
    void Show();

    EntryList m_model;
    FolderPicker m_pickFolder = PickFolder;
    CEditListBoxToolBar* const m_toolBar;
    CListBoxEx* const m_list;
    CItemEdit* const m_editor;
    QToolButton* const m_browse;
    bool m_showing = false;  // the list is being redrawn from the entries
};

}  // namespace quenbar
