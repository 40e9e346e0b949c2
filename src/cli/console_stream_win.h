// Output to a console window. The command line writes text in the process code page (UTF-8
// where the manifest's setting is honoured); a console shows bytes in its own output code
// page (the OEM one, 437 or 866), so names in other scripts would come out as other
// characters. Where a standard stream is a console, its text goes through WriteConsoleW;
// where it is a file or a pipe, the bytes go out as they are.
#pragma once

#include <windows.h>

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

namespace tw::cli {

class ConsoleStreamBuf final : public std::streambuf {
public:
    explicit ConsoleStreamBuf(HANDLE console) : console_(console) {}
    ~ConsoleStreamBuf() override { Flush(false); }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    // Writes what is held, but for a character cut short at its end unless `all`.
    bool Flush(bool all);

    HANDLE console_;
    std::string pending_;
};

// Points `stream` at the console when `handle` is one; the returned buffer must outlive the
// stream's use of it (nothing when the handle is no console).
std::unique_ptr<ConsoleStreamBuf> UseConsole(std::ostream& stream, DWORD standardHandle);

}  // namespace tw::cli
