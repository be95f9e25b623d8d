#include "entry_list.h"

#include <algorithm>
#include <utility>

namespace quenbar {

void EntryList::set_current(int index) {
    m_current = index >= 0 && index < static_cast<int>(m_entries.size()) ? index : kNone;
}

void EntryList::begin_new() {
    m_entries.emplace_back();
    m_current = static_cast<int>(m_entries.size()) - 1;
    m_editing = Editing::added;
    m_editIndex = m_current;
}

std::string EntryList::begin_edit() {
    if (m_current == kNone) {
        begin_new();
        return {};
    }
    m_editing = Editing::existing;
    m_editIndex = m_current;
    return m_entries[static_cast<size_t>(m_current)];
}

void EntryList::end_edit(bool accepted, const std::string& text) {
    const Editing editing = std::exchange(m_editing, Editing::none);
    const int index = std::exchange(m_editIndex, kNone);
    if (editing == Editing::existing) {
        if (accepted) {
            m_entries[static_cast<size_t>(index)] = text;
        }
        m_current = index;
    } else if (editing == Editing::added) {
        // The placeholder goes in every case; an accepted text is appended at the end.
        m_entries.erase(m_entries.begin() + index);
        m_current = kNone;
        if (accepted && !text.empty()) {
            m_entries.push_back(text);
            m_current = static_cast<int>(m_entries.size()) - 1;
        }
    }
}

bool EntryList::remove_current() {
    if (m_current == kNone) {
        return false;
    }
    m_entries.erase(m_entries.begin() + m_current);
    const int count = static_cast<int>(m_entries.size());
    m_current = count == 0 ? kNone : std::min(m_current, count - 1);
    return true;
}

bool EntryList::move_current_up() {
    if (m_current == kNone || m_current == 0) {
        return false;
    }
    std::swap(m_entries[static_cast<size_t>(m_current)],
              m_entries[static_cast<size_t>(m_current - 1)]);
    --m_current;
    return true;
}

bool EntryList::move_current_down() {
    if (m_current == kNone || m_current + 1 == static_cast<int>(m_entries.size())) {
        return false;
    }
    std::swap(m_entries[static_cast<size_t>(m_current)],
              m_entries[static_cast<size_t>(m_current + 1)]);
    ++m_current;
    return true;
}

}  // namespace quenbar
