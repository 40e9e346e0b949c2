// tarnwick-cli version FILE [--json]: the version details the managers show for a file, read
// from its version resource without loading it.
#include "cli/commands.h"
#include "cli/json.h"
#include "managers/file_version_record.h"

#include <cstdio>

namespace tw::cli {

int RunVersion(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    if (rest.size() != 1)
        return UsageError(context, "version takes one file");

    FileVersionRecord record(context.system);
    record.setPath(rest[0]);
    if (!record.isAvailable()) {
        context.err << "tarnwick-cli: no version information in " << rest[0] << "\n";
        return kExitFailed;
    }
    if (HasFlag(flags, "--json")) {
        context.out << JsonObject(context.system)
                           .Text("filePath", record.filePath())
                           .Text("companyName", record.companyName())
                           .Text("fileDescription", record.fileDescription())
                           .Text("fileVersion", record.fileVersion())
                           .Text("internalName", record.internalName())
                           .Text("originalFileName", record.originalFileName())
                           .Text("productName", record.productName())
                           .Text("productVersion", record.productVersion())
                           .Text("formattedFileVersion", record.formattedFileVersion())
                           .Text("operatingSystem", record.operatingSystem())
                           .Text("fileType", record.fileType())
                           .Number("language", record.language())
                           .Number("codePage", record.codePage())
                           .str()
                    << "\n";
        return kExitOk;
    }
    char translation[32];
    std::snprintf(translation, sizeof translation, "0x%04x / %u", record.language(), record.codePage());
    const std::pair<const char*, std::string> lines[] = {
        {"File path", record.filePath()},
        {"Read from", record.resolvedPath()},
        {"Company name", record.companyName()},
        {"File description", record.fileDescription()},
        {"File version", record.fileVersion()},
        {"Internal name", record.internalName()},
        {"Original file name", record.originalFileName()},
        {"Product name", record.productName()},
        {"Product version", record.productVersion()},
        {"Formatted file version", record.formattedFileVersion()},
        {"Operating system", record.operatingSystem()},
        {"File type", record.fileType()},
        {"Language / code page", translation},
    };
    for (const auto& [label, text] : lines)
        context.out << label << ": " << text << "\n";
    return kExitOk;
}

}  // namespace tw::cli
