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

// The two texts of an errno value. The program's file reading and writing report their
// failures in a few words of their own ("File not found", "Disk full", "I/O error 5"):
std::string IoErrorText(int errorCode);
// while the messages about a single copy (Delete, Open) quote the system's own text
// ("No such file or directory").
std::string SystemErrorText(int errorCode);
