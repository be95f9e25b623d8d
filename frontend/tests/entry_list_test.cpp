#include "entry_list.h"

#include <gtest/gtest.h>

namespace quenbar {
namespace {

using Entries = std::vector<std::string>;

EntryList list_of(const Entries& entries, int current) {
    EntryList list;
    for (const std::string& entry : entries) {
        list.append(entry);
    }
    list.set_current(current);
    return list;
}

TEST(EntryList, NewEntryIsAppendedWhenAcceptedWithText) {
    EntryList list = list_of({"a", "b"}, 0);
    list.begin_new();
    EXPECT_EQ(list.entries(), (Entries{"a", "b", ""}));
    EXPECT_EQ(list.current(), 2);
    EXPECT_EQ(list.edit_index(), 2);
    EXPECT_EQ(list.editing(), EntryList::Editing::added);
    list.end_edit(true, "c");
    EXPECT_EQ(list.entries(), (Entries{"a", "b", "c"}));
    EXPECT_EQ(list.current(), 2);
    EXPECT_EQ(list.editing(), EntryList::Editing::none);
}

TEST(EntryList, NewEntryCancelledOrEmptyLeavesTheListAndNoCurrent) {
    EntryList list = list_of({"a"}, 0);
    list.begin_new();
    list.end_edit(false, "typed");
    EXPECT_EQ(list.entries(), Entries{"a"});
    EXPECT_EQ(list.current(), EntryList::kNone);
    list.begin_new();
    list.end_edit(true, "");
    EXPECT_EQ(list.entries(), Entries{"a"});
    EXPECT_EQ(list.current(), EntryList::kNone);
}

TEST(EntryList, EditingReplacesInPlaceOnlyWhenAccepted) {
    EntryList list = list_of({"a", "b", "c"}, 1);
    EXPECT_EQ(list.begin_edit(), "b");
    EXPECT_EQ(list.editing(), EntryList::Editing::existing);
    list.end_edit(false, "x");
    EXPECT_EQ(list.entries(), (Entries{"a", "b", "c"}));
    EXPECT_EQ(list.current(), 1);
    list.begin_edit();
    list.end_edit(true, "b");
    EXPECT_EQ(list.entries(), (Entries{"a", "b", "c"}));
    list.begin_edit();
    list.end_edit(true, "");
    EXPECT_EQ(list.entries(), (Entries{"a", "", "c"}));
    EXPECT_EQ(list.current(), 1);
}

TEST(EntryList, EditWithoutCurrentStartsANewEntry) {
    EntryList list = list_of({"a"}, EntryList::kNone);
    EXPECT_EQ(list.begin_edit(), "");
    EXPECT_EQ(list.editing(), EntryList::Editing::added);
    list.end_edit(true, "b");
    EXPECT_EQ(list.entries(), (Entries{"a", "b"}));
    EXPECT_EQ(list.current(), 1);
}

TEST(EntryList, DeleteMovesTheCurrentToTheNextOrTheNewLast) {
    EntryList list = list_of({"a", "b", "c"}, 1);
    EXPECT_TRUE(list.remove_current());
    EXPECT_EQ(list.entries(), (Entries{"a", "c"}));
    EXPECT_EQ(list.current(), 1);
    EXPECT_TRUE(list.remove_current());
    EXPECT_EQ(list.entries(), Entries{"a"});
    EXPECT_EQ(list.current(), 0);
    EXPECT_TRUE(list.remove_current());
    EXPECT_TRUE(list.entries().empty());
    EXPECT_EQ(list.current(), EntryList::kNone);
    EXPECT_FALSE(list.remove_current());

    EntryList none = list_of({"a"}, EntryList::kNone);
    EXPECT_FALSE(none.remove_current());
    EXPECT_EQ(none.entries(), Entries{"a"});
}

TEST(EntryList, MovesKeepTheEntryCurrentAndStopAtTheEnds) {
    EntryList list = list_of({"a", "b", "c"}, 1);
    EXPECT_TRUE(list.move_current_up());
    EXPECT_EQ(list.entries(), (Entries{"b", "a", "c"}));
    EXPECT_EQ(list.current(), 0);
    EXPECT_FALSE(list.move_current_up());
    EXPECT_EQ(list.entries(), (Entries{"b", "a", "c"}));
    EXPECT_TRUE(list.move_current_down());
    EXPECT_TRUE(list.move_current_down());
    EXPECT_EQ(list.entries(), (Entries{"a", "c", "b"}));
    EXPECT_EQ(list.current(), 2);
    EXPECT_FALSE(list.move_current_down());
    EXPECT_EQ(list.current(), 2);

    EntryList none = list_of({"a", "b"}, EntryList::kNone);
    EXPECT_FALSE(none.move_current_up());
    EXPECT_FALSE(none.move_current_down());
    EXPECT_EQ(none.entries(), (Entries{"a", "b"}));
}

TEST(EntryList, CurrentOutsideTheEntriesIsNone) {
    EntryList list = list_of({"a"}, 0);
    list.set_current(1);
    EXPECT_EQ(list.current(), EntryList::kNone);
    list.set_current(-5);
    EXPECT_EQ(list.current(), EntryList::kNone);
}

}  // namespace
}  // namespace quenbar
