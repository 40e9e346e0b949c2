// libFuzzer target: any bytes given to the XML reader end the reading (end of file or a
// parse error) within a number of steps bounded by the input, without a crash or a leak.
#include "snapshot/xml_reader.h"
#include "snapshot_fuzz_input.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static tw::fuzz::InputFile input;
    static tw::XmlReader reader(input.system());
    if (!input.Put(data, size))
        return 0;
    reader.SetFileName(input.Path());
    // Every step consumes a character, ends a line, or changes mode before it can consume
    // one: a few steps per byte and per line at most.
    const std::size_t limit = 4 * size + 16;
    std::size_t steps = 0;
    while (reader.ReadNext()) {
        if (++steps > limit)
            __builtin_trap();  // the reader is not making progress
        // What a caller reads after each step must be readable.
        volatile std::size_t touched = reader.ElementName().size() + reader.AttributeValue().size() +
                                        reader.Text().size() + reader.DeclarationName().size();
        (void)touched;
    }
    if (!reader.Error().empty() && reader.Error().compare(0, 20, "Parse error in line ") != 0)
        __builtin_trap();
    reader.Close();
    return 0;
}
