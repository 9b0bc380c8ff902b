#include "DevInoSet.h"

namespace {

bool IsFree(const TDevIno& slot) {
    return slot.Dev == 0 && slot.Ino == 0;
}

// The low bits of the hash pick the slot; the high half, which every bit of the inode reaches,
// is folded into them, so that inodes a power of two apart do not crowd into a few slots.
size_t SlotHash(const TDevIno& id) {
    const size_t hash = TDevInoHash()(id);
    return hash ^ (hash >> 32);
}

} // namespace

bool TDevInoSet::Insert(const TDevIno& id) {
    if (IsFree(id)) {
        const bool added = !FHasZero;
        FHasZero = true;
        return added;
    }
    const size_t mask = FSlots.size() - 1;
    size_t slot = SlotHash(id) & mask;
    for (; !IsFree(FSlots[slot]); slot = (slot + 1) & mask)
        if (FSlots[slot] == id)
            return false;
    FSlots[slot] = id;
    if (++FCount * 2 > FSlots.size())
        Grow();
    return true;
}

void TDevInoSet::Grow() {
    std::vector<TDevIno> slots(FSlots.size() * 2, TDevIno{0, 0});
    const size_t mask = slots.size() - 1;
    for (const TDevIno& id : FSlots) {
        if (IsFree(id))
            continue;
        size_t slot = SlotHash(id) & mask;
        while (!IsFree(slots[slot]))
            slot = (slot + 1) & mask;
        slots[slot] = id;
    }
    FSlots = std::move(slots);
}
