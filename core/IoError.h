#pragma once

#include <stdexcept>
#include <string>

// A failed file operation, carrying the text the user sees ("File not found", "Disk full", ...).
class EInOutError : public std::runtime_error {
  public:
    EInOutError(int errorCode, const std::string& text)
        : std::runtime_error(text), FErrorCode(errorCode) {}
    explicit EInOutError(int errorCode);

    int ErrorCode() const { return FErrorCode; }

  private:
    int FErrorCode;
};

// The text of an I/O failure for an errno value.
std::string IoErrorText(int errorCode);
