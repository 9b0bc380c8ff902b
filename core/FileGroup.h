#pragma once

#include "FileInfoRec.h"

#include <string>
#include <vector>

// The copies of one duplicated name, in the order in which they joined. The first copy is the
// one new files are compared with. The full path of a copy is its record's Dir and Name.
class TFileGroup {
  public:
    int Count() const { return static_cast<int>(FFiles.size()); }
    bool IsEmpty() const { return FFiles.empty(); }

    const TFileInfoRec& Info(int index) const { return FFiles.at(static_cast<size_t>(index)); }
    std::string Path(int index) const { return Info(index).FullPath(); }

    void Add(TFileInfoRec info) { FFiles.push_back(std::move(info)); }
    void Reserve(size_t count) { FFiles.reserve(count); }
    void Delete(int index);

    // Sum of all sizes, every copy counted, accumulated in single precision from 0.
    float Space() const;

  private:
    std::vector<TFileInfoRec> FFiles;
};

// One step of a single-precision sum: the size is added to the sum exactly and the result is
// rounded once, so that large sizes are not rounded on their own before they are added.
float AddSizeToSpace(float space, int64_t size);
