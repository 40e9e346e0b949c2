// libFuzzer target: any command line (the input split into arguments at each NUL byte) run
// against an empty registry and a machine with no drives: every command ends with one of
// the documented exit codes (0 done, 1 failed, 2 usage), whatever words and options it gets.
#include "cli/cli.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_system.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tw::cli::Arguments arguments;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    arguments.push_back(current);
    if (arguments.size() > 16)
        return 0;  // no command takes more words than this to reach every option

    tw::MemoryRegistry registry;
    tw::MemorySystem system;
    std::ostringstream out, err;
    tw::cli::Context context{registry, system, out, err};
    const int status = tw::cli::Run(context, arguments);
    if (status < 0 || status > 2)
        __builtin_trap();  // not an exit code the command line documents
    if (registry.OpenHandleCount() != 0)
        __builtin_trap();  // a key left open
    return 0;
}
