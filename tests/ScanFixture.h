#pragma once

#include "RecordingListener.h"
#include "ScanThread.h"
#include "TestTree.h"

#include <chrono>
#include <string>
#include <vector>

// One scan thread with its listener, as a window holds them.
struct TScan {
    TRecordingListener Listener;
    TScanThread Thread{Listener};

    TScan() { Listener.Thread = &Thread; }
    TScan(const TScan&) = delete;
    TScan& operator=(const TScan&) = delete;

    // Runs one scan to its end (bounded).
    bool Run(const TOptionRec& options) {
        const int done = Listener.DoneCount();
        Thread.StartScan(options);
        return Listener.WaitForDone(done + 1, std::chrono::seconds(30));
    }
    // The result taken at the last WM_SCAN_DONE.
    const TScanResult& Last() const { return Listener.LastResult(); }
    TScanResult& Last() { return Listener.LastResult(); }
    // The result's rows with paths relative to the tree.
    std::vector<std::string> Result(const TTestTree& tree) const {
        std::vector<std::string> lines = Listener.Result();
        for (std::string& line : lines)
            for (size_t at; (at = line.find(tree.Root() + "/")) != std::string::npos;)
                line.erase(at, tree.Root().size() + 1);
        return lines;
    }
};
