#pragma once

#include "DevIno.h"

#include <cstddef>
#include <vector>

// The directories a walk has entered. Open addressing in one block: a walk asks once per
// directory, and a node per directory would cost more than the question.
class TDevInoSet {
  public:
    // Adds id; false when it was there already.
    bool Insert(const TDevIno& id);

  private:
    void Grow();

    // A free slot holds device 0 and inode 0; that identity itself is kept aside.
    std::vector<TDevIno> FSlots = std::vector<TDevIno>(64, TDevIno{0, 0});
    size_t FCount = 0;
    bool FHasZero = false;
};
