// tarnwick-cli.exe: the command line over the real registry and system.
#include "cli/cli.h"
#include "cli/console_stream_win.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

int main(int argc, char** argv)
{
    // Exact bytes out: JSON lines end in a line feed alone, text keeps its own CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    std::ios::sync_with_stdio(false);
    // A console shows every character through the wide call; a file or pipe gets the bytes.
    std::streambuf* const outBuffer = std::cout.rdbuf();
    std::streambuf* const errBuffer = std::cerr.rdbuf();
    const auto consoleOut = tw::cli::UseConsole(std::cout, STD_OUTPUT_HANDLE);
    const auto consoleErr = tw::cli::UseConsole(std::cerr, STD_ERROR_HANDLE);
    tw::Win32Registry registry;
    tw::Win32System system;
    tw::cli::Context context{registry, system, std::cout, std::cerr};
    context.errIsConsole = consoleErr != nullptr;
    tw::cli::Arguments arguments(argv + 1, argv + argc);
    int status = tw::cli::Run(context, arguments);
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(outBuffer);
    std::cerr.rdbuf(errBuffer);
    return status;
}
