#pragma once

#include <string>
#include <string_view>

// Writes a text file of CR LF lines through a buffer. Every failure, opening, writing or
// closing, throws EInOutError with the text the user sees; nothing is silently lost.
class TTextFileWriter {
public:
    // Creates the file anew (an existing one is truncated).
    explicit TTextFileWriter(const std::string& fileName);
    // Writes to a descriptor the caller owns (standard output); Close() does not close it.
    static TTextFileWriter ForDescriptor(int fd);

    TTextFileWriter(TTextFileWriter&& other) noexcept;
    TTextFileWriter(const TTextFileWriter&) = delete;
    TTextFileWriter& operator=(const TTextFileWriter&) = delete;
    TTextFileWriter& operator=(TTextFileWriter&&) = delete;
    ~TTextFileWriter();

    void Write(std::string_view text);
    void WriteLine(std::string_view text);
    // Flushes and closes; throws when the data did not reach the file.
    void Close();

private:
    TTextFileWriter(int fd, bool owned);
    void Flush();

    int FFd = -1;
    bool FOwned = true;
    std::string FBuffer;
};
