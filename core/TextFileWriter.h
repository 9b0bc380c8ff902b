#pragma once

#include <string>
#include <string_view>

// Writes a text file of CR LF lines through a buffer. Every failure, opening, writing or
// closing, throws EInOutError with the text the user sees; nothing is silently lost.
//
// A regular file (or a new one) is written beside its final place and takes that place only
// when Close() succeeds, so a failed write never leaves a cut-off file behind nor destroys the
// file it was to replace; when no file can be made beside it, the old file stays untouched. A
// replaced file keeps its mode, and its owner and group where the caller may give them. A
// symbolic link is written through and stays a link, unless it lies in a sticky, world-writable
// directory and belongs to neither the caller nor that directory's owner (the rule the kernel's
// protected symlinks follow). Anything else (a device, a pipe) is written in place; opening it
// never blocks, so a pipe without a reader is an error.
class TTextFileWriter {
  public:
    explicit TTextFileWriter(const std::string& fileName);
    // Writes to a descriptor the caller owns (standard output); Close() does not close it.
    static TTextFileWriter ForDescriptor(int fd);

    TTextFileWriter(TTextFileWriter&& other) noexcept;
    TTextFileWriter(const TTextFileWriter&) = delete;
    TTextFileWriter& operator=(const TTextFileWriter&) = delete;
    TTextFileWriter& operator=(TTextFileWriter&&) = delete;
    // A writer that was not closed was abandoned after a failure: its partial file is removed.
    ~TTextFileWriter();

    void Write(std::string_view text);
    void WriteLine(std::string_view text);
    // Flushes and puts the file in place; throws when the data did not reach it.
    void Close();

  private:
    TTextFileWriter(int fd, bool owned);
    void Flush();

    int FFd = -1;
    bool FOwned = true;
    std::string FTarget;    // the final name, when writing beside it
    std::string FTemporary; // the name written to meanwhile
    std::string FBuffer;
};
