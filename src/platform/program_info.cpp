#include "platform/program_info.h"

namespace tw {

std::string ProgramFolder(System& system)
{
    std::string module = system.ModuleFileName();
    std::size_t slash = module.rfind('\\');
    return slash == std::string::npos ? std::string() : module.substr(0, slash);
}

std::string ProgramName(System& system)
{
    std::string module = system.ModuleFileName();
    std::size_t slash = module.rfind('\\');
    std::string name = slash == std::string::npos ? module : module.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string out(folder);
    if (!out.empty() && out.back() == '\\')
        out.pop_back();
    std::size_t skip = 0;
    while (skip < name.size() && name[skip] == '\\')
        ++skip;
    out += '\\';
    out.append(name.substr(skip));
    return out;
}

}  // namespace tw
