#include "edit_list_box.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "qt_test_support.h"

namespace quenbar {
namespace {

using Entries = std::vector<std::string>;

// The list inside a dialog, as in the front-end, with a second field to take the focus.
class EditListBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&dialog);
        list = new CEditListBox(&dialog);
        other = new QLineEdit(&dialog);
        layout->addWidget(list);
        layout->addWidget(other);
        list->SetTitle(" Data sets Directories:");
        list->SetFolderPicker([this](QWidget*, const QString& start) {
            picker_starts << start;
            return picked;
        });
        dialog.resize(400, 300);
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        view = list->findChild<QListWidget*>("entries");
        editor = list->findChild<QLineEdit*>("itemEdit");
        ASSERT_NE(view, nullptr);
        ASSERT_NE(editor, nullptr);
        view->setFocus();
    }

    QToolButton* button(const char* name) { return list->findChild<QToolButton*>(name); }

    Entries entries() const {
        Entries result;
        for (int i = 0; i < list->GetCount(); ++i) {
            result.push_back(list->GetText(i));
        }
        return result;
    }

    // Through the user's path: New, typing, Enter.
    void add(const QString& text) {
        QTest::mouseClick(button("newButton"), Qt::LeftButton);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
    }

    void click_row(int row) {
        const QPoint at = view->visualItemRect(view->item(row)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    }

    void double_click_row(int row) {
        const QPoint at = view->visualItemRect(view->item(row)).center();
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }

    QPoint below_last_line() const { return QPoint(10, view->viewport()->height() - 5); }

    QDialog dialog;
    CEditListBox* list = nullptr;
    QLineEdit* other = nullptr;
    QListWidget* view = nullptr;
    QLineEdit* editor = nullptr;
    QString picked;
    QStringList picker_starts;
};

TEST_F(EditListBoxTest, TitleStripShowsTheTitleAndFourButtons) {
    EXPECT_EQ(list->findChild<QLabel*>("title")->text(), " Data sets Directories:");
    const std::vector<std::pair<const char*, const char*>> buttons = {
        {"newButton", "New"},
        {"deleteButton", "Delete"},
        {"moveUpButton", "Move Up"},
        {"moveDownButton", "Move Down"}};
    for (const char* icon : {"new", "delete", "move_up", "move_down"}) {
        EXPECT_TRUE(QFile::exists(QString(":/quenbar/icons/%1.svg").arg(icon))) << icon;
    }
    int left = -1;
    for (const auto& [name, tip] : buttons) {
        QToolButton* b = button(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->toolTip(), tip);
        EXPECT_TRUE(!svg_icons_available() || !b->icon().isNull()) << name;
        EXPECT_GT(b->x(), left) << "buttons left to right";
        left = b->x();
    }
    auto* strip = list->findChild<CEditListBoxToolBar*>();
    EXPECT_EQ(strip->height(), 22);
    EXPECT_LT(strip->geometry().bottom(), view->geometry().top());
}

TEST_F(EditListBoxTest, NewEntryIsTypedInPlaceAndAppendedAtTheEnd) {
    add("/data/first");
    add("/data/second");
    click_row(0);
    add("/data/third");
    EXPECT_EQ(entries(), (Entries{"/data/first", "/data/second", "/data/third"}));
    EXPECT_EQ(list->CurrentIndex(), 2);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(view->hasFocus());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(EditListBoxTest, EditorSitsOverItsLineWithTheFolderButtonAtItsRight) {
    add("/data/first");
    QTest::mouseClick(button("newButton"), Qt::LeftButton);
    ASSERT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->hasFocus());
    const QRect line = view->visualItemRect(view->item(1));
    auto* folder = list->findChild<QToolButton*>("folderButton");
    EXPECT_EQ(folder->text(), "...");
    EXPECT_EQ(editor->x(), line.left() + 2);
    EXPECT_LT(editor->geometry().right(), folder->x());
    EXPECT_EQ(folder->geometry().right(), line.right() - 2);
    EXPECT_LE(editor->geometry().top(), line.top() - 2);
}

TEST_F(EditListBoxTest, EscapeOrEmptyTextLeavesTheListAsItWas) {
    add("/data/first");
    QTest::keyClick(view, Qt::Key_Insert);
    ASSERT_TRUE(editor->isVisible());
    QTest::keyClicks(editor, "/typed");
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(entries(), Entries{"/data/first"});
    EXPECT_EQ(list->CurrentIndex(), EntryList::kNone);
    EXPECT_TRUE(dialog.isVisible()) << "Escape in the editor closed the dialog";

    add("");
    EXPECT_EQ(entries(), Entries{"/data/first"});
    EXPECT_EQ(view->count(), 1);
}

TEST_F(EditListBoxTest, DoubleClickEditsWithTheTextSelected) {
    add("/data/first");
    add("/data/second");
    double_click_row(0);
    ASSERT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->text(), "/data/first");
    EXPECT_EQ(editor->selectedText(), "/data/first");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(entries(), (Entries{"/data/first", "/data/second"}));

    double_click_row(1);
    QTest::keyClicks(editor, "/new");  // replaces the selected text
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(entries(), (Entries{"/data/first", "/new"}));
    EXPECT_EQ(list->CurrentIndex(), 1);

    double_click_row(0);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(entries(), (Entries{"", "/new"}));
}

TEST_F(EditListBoxTest, DoubleClickWithNoCurrentEntryStartsANewOne) {
    add("/data/first");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, below_last_line());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, below_last_line());
    ASSERT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->text().isEmpty());
    QTest::keyClicks(editor, "/data/second");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(entries(), (Entries{"/data/first", "/data/second"}));
}

TEST_F(EditListBoxTest, LosingTheFocusAcceptsTheEdit) {
    QTest::mouseClick(button("newButton"), Qt::LeftButton);
    QTest::keyClicks(editor, "/by/focus");
    other->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(entries(), Entries{"/by/focus"});
    EXPECT_FALSE(editor->isVisible());

    QTest::mouseClick(button("newButton"), Qt::LeftButton);
    QTest::keyClicks(editor, "/by/tab");
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_EQ(entries(), (Entries{"/by/focus", "/by/tab"}));
    EXPECT_TRUE(view->hasFocus());
}

TEST_F(EditListBoxTest, ToolbarButtonEndsTheEditFirst) {
    add("/a");
    QTest::mouseClick(button("newButton"), Qt::LeftButton);
    QTest::keyClicks(editor, "/b");
    QTest::mouseClick(button("moveUpButton"), Qt::LeftButton);
    EXPECT_EQ(entries(), (Entries{"/b", "/a"}));
    EXPECT_EQ(list->CurrentIndex(), 0);
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(EditListBoxTest, FolderButtonFillsTheEditorWithThePickedFolder) {
    add("/start/here");
    double_click_row(0);
    picked = "/picked/folder";
    QTest::mouseClick(list->findChild<QToolButton*>("folderButton"), Qt::LeftButton);
    EXPECT_EQ(picker_starts, QStringList{"/start/here"});
    EXPECT_TRUE(editor->isVisible()) << "the picker ended the edit";
    EXPECT_EQ(editor->text(), "/picked/folder");
    EXPECT_EQ(editor->selectedText(), "/picked/folder");
    EXPECT_TRUE(editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(entries(), Entries{"/start/here"});

    // Cancelled picker: the text stays; an empty text starts at the current directory.
    QTest::mouseClick(button("newButton"), Qt::LeftButton);
    picked.clear();
    QTest::mouseClick(list->findChild<QToolButton*>("folderButton"), Qt::LeftButton);
    EXPECT_EQ(picker_starts.last(), QDir::currentPath());
    QTest::keyClicks(editor, "/kept");
    QTest::mouseClick(list->findChild<QToolButton*>("folderButton"), Qt::LeftButton);
    EXPECT_EQ(editor->text(), "/kept");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(entries(), (Entries{"/start/here", "/kept"}));
}

TEST_F(EditListBoxTest, KeysDeleteAndMoveTheCurrentEntry) {
    add("/a");
    add("/b");
    add("/c");
    click_row(0);
    QTest::keyClick(view, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(entries(), (Entries{"/b", "/a", "/c"}));
    EXPECT_EQ(list->CurrentIndex(), 1);
    QTest::keyClick(view, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(entries(), (Entries{"/a", "/b", "/c"}));
    EXPECT_EQ(list->CurrentIndex(), 0);
    QTest::mouseClick(button("moveDownButton"), Qt::LeftButton);
    QTest::mouseClick(button("moveUpButton"), Qt::LeftButton);
    EXPECT_EQ(list->CurrentIndex(), 0);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(entries(), (Entries{"/b", "/c"}));
    EXPECT_EQ(list->CurrentIndex(), 0);
    QTest::mouseClick(button("deleteButton"), Qt::LeftButton);
    EXPECT_EQ(entries(), Entries{"/c"});
    // Without a current entry the keys do nothing.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, below_last_line());
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::keyClick(view, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(entries(), Entries{"/c"});
}

TEST_F(EditListBoxTest, ClicksReportTheCurrentEntryAlsoWhenCleared) {
    add("/a");
    add("/b");
    QSignalSpy changed(list, &CEditListBox::selectionChanged);
    click_row(0);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(list->CurrentIndex(), 0);
    click_row(0);
    EXPECT_EQ(changed.count(), 2);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, below_last_line());
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(list->CurrentIndex(), EntryList::kNone);
    EXPECT_TRUE(view->selectedItems().isEmpty());
    click_row(1);
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_EQ(changed.count(), 5);
    EXPECT_EQ(list->CurrentIndex(), 0);
    // Commands do not report: the front-end looks at clicks only.
    QTest::mouseClick(button("moveDownButton"), Qt::LeftButton);
    add("/c");
    EXPECT_EQ(changed.count(), 5);
}

TEST_F(EditListBoxTest, DisabledListTakesNoCommand) {
    add("/a");
    add("/b");
    click_row(0);
    list->setEnabled(false);
    QTest::mouseClick(button("newButton"), Qt::LeftButton);
    QTest::mouseClick(button("deleteButton"), Qt::LeftButton);
    QTest::mouseClick(button("moveDownButton"), Qt::LeftButton);
    QTest::keyClick(view, Qt::Key_Insert);
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::keyClick(view, Qt::Key_Down, Qt::AltModifier);
    double_click_row(1);
    list->NewEntry();
    list->DeleteEntry();
    list->MoveDown();
    list->EditEntry();
    EXPECT_EQ(entries(), (Entries{"/a", "/b"}));
    EXPECT_EQ(list->CurrentIndex(), 0);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_FALSE(button("newButton")->isEnabled());
}

TEST_F(EditListBoxTest, DisablingDuringAnEditAcceptsIt) {
    QTest::mouseClick(button("newButton"), Qt::LeftButton);
    QTest::keyClicks(editor, "/typed");
    list->setEnabled(false);
    EXPECT_EQ(entries(), Entries{"/typed"});
    EXPECT_FALSE(list->IsEditing());
}

TEST_F(EditListBoxTest, ClickOnTheScrollBarAcceptsTheEdit) {
    for (int i = 0; i < 30; ++i) {
        list->AddEntry("/entry/" + std::to_string(i));
    }
    QTest::mouseClick(button("newButton"), Qt::LeftButton);
    QTest::keyClicks(editor, "/last");
    QScrollBar* bar = view->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 5));
    EXPECT_FALSE(list->IsEditing());
    EXPECT_EQ(list->GetText(30), "/last");
}

}  // namespace
}  // namespace quenbar
