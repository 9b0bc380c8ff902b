#pragma once

#include "FileGroup.h"

#include <memory>
#include <string>

// One duplicated name of a result: its name key, which the duplicate list shows as the row's
// caption, and the group of its copies (none for a name without copies, as a loaded list may
// hold). The row owns its group; the group stays at its address while rows are moved or sorted.
struct TResultRow {
    std::string Caption;
    std::unique_ptr<TFileGroup> Group;

    int Count() const { return Group ? Group->Count() : 0; }
    // The space of the row's group: every copy counted, the first one included.
    float GroupSpace() const { return Group ? Group->Space() : 0.0f; }
};
