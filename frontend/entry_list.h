// The editable list of data-set directories without its window: the entries, the one current
// entry, and the rules of editing, deleting and moving them. The control never looks at the
// file system; empty, duplicate and missing paths are all allowed.
#pragma once

#include <string>
#include <vector>

namespace quenbar {

class EntryList {
  public:
    enum class Editing { none, existing, added };

    static constexpr int kNone = -1;

    const std::vector<std::string>& entries() const { return m_entries; }
    int current() const { return m_current; }
    Editing editing() const { return m_editing; }
    // The line under the editor while an edit is open.
    int edit_index() const { return m_editIndex; }

    // Appends an entry as a program would, without an edit; the current entry stays.
    void append(const std::string& text) { m_entries.push_back(text); }

    // A current entry that does not exist becomes none.
    void set_current(int index);

    // Appends an empty placeholder, makes it current and opens the edit over it.
    void begin_new();
    // Opens the edit over the current entry and returns its text; with no current entry a new
    // entry is started instead (and the text is empty).
    std::string begin_edit();
    // Closes the open edit. A new entry is appended when accepted with text, otherwise it
    // vanishes; an existing entry takes the accepted text, even an empty one.
    void end_edit(bool accepted, const std::string& text);

    // These do nothing, and return false, when there is no current entry or it cannot move.
    bool remove_current();
    bool move_current_up();
    bool move_current_down();

  private:
    std::vector<std::string> m_entries;
    int m_current = kNone;
    Editing m_editing = Editing::none;
    int m_editIndex = kNone;
};

}  // namespace quenbar
