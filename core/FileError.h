#pragma once

#include <stdexcept>

// A failure with the text the user sees, such as "Cannot open file /x/y.twc".
class EFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
