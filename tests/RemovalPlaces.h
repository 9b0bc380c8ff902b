#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

// The places of the trash and the action log, $XDG_DATA_HOME and $XDG_STATE_HOME, set to "data"
// and "state" in a folder of a test for as long as the object lives, and given back after.
class TRemovalPlaces {
  public:
    explicit TRemovalPlaces(const std::string& folder) {
        for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME"}) {
            const char* value = std::getenv(name);
            FSaved.push_back({name, value != nullptr, value != nullptr ? value : ""});
        }
        setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
        setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
    }
    ~TRemovalPlaces() {
        for (const TSaved& saved : FSaved) {
            if (saved.Set)
                setenv(saved.Name, saved.Value.c_str(), 1);
            else
                unsetenv(saved.Name);
        }
    }
    TRemovalPlaces(const TRemovalPlaces&) = delete;
    TRemovalPlaces& operator=(const TRemovalPlaces&) = delete;

  private:
    struct TSaved {
        const char* Name;
        bool Set;
        std::string Value;
    };
    std::vector<TSaved> FSaved;
};
