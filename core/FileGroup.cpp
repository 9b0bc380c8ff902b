#include "FileGroup.h"

#include <stdexcept>

void TFileGroup::Delete(int index) {
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds");
    FFiles.erase(FFiles.begin() + index);
}

float TFileGroup::Space() const {
    float space = 0;
    for (const TFileInfoRec& info : FFiles)
        space = AddSizeToSpace(space, info.Size);
    return space;
}

float AddSizeToSpace(float space, int64_t size) {
    // Every sum of sizes held in a float is a whole number, and long double holds any 64-bit
    // integer exactly, so the addition below is exact for all realistic totals.
    return static_cast<float>(static_cast<long double>(space) + static_cast<long double>(size));
}
