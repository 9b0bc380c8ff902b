#pragma once

#include "FileInfoRec.h"

#include <string>
#include <sys/types.h>
#include <vector>

// How a copy's bytes compare with those of the kept copy.
struct TCompared {
    enum TOutcome {
        cEqual,   // the same bytes
        cDiffers, // other bytes, or another size
        cChanged, // it is no longer the regular file of its recorded size
        cFailed   // it could not be read (ErrorText says why)
    };
    TOutcome Outcome = cFailed;
    std::string ErrorText;
    // The file that was read, so that the one removed later is known to be this one.
    dev_t Device = 0;
    ino_t Inode = 0;
};

// Compares copies with the kept copy block by block, all in step: every file is read at most
// once, and a copy is read no further once it differs. Copies whose recorded size is not the
// kept copy's differ without being read. Each file is opened by the same trusted walk as a
// removal, without following a link at its end, and must be a regular file of its recorded
// size. When the kept copy cannot be read, `keptError` says why and every copy counts as failed.
std::vector<TCompared> CompareContents(const TFileInfoRec& kept,
                                       const std::vector<TFileInfoRec>& copies,
                                       std::string& keptError);
