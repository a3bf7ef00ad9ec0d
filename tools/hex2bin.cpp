// Developer tool: converts an Intel HEX file to a binary image with the
// loader's own converter and exits with its result (0 or 1). On failure it
// names the fault and the line on standard error.
//
// --growth=steps|geometric picks the image buffer's growth rule, so that the
// benchmark can compare them on one platform.
#include <cstdio>
#include <cstring>

#include "HexConvert.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: hex2bin [--growth=steps|geometric] IN.hex OUT.bin\n");
    return 2;
}

int Report(const qb480::HexOutcome& outcome)
{
    if (outcome.fault == qb480::HexFault::None)
        return 0;
    if (outcome.line)
        std::fprintf(stderr, "hex2bin: line %lu: %s\n", outcome.line, qb480::HexFaultName(outcome.fault));
    else
        std::fprintf(stderr, "hex2bin: %s\n", qb480::HexFaultName(outcome.fault));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    using qb480::CHexImage;
    CHexImage::Growth growth = CHexImage::kPlatformGrowth;
    int arg = 1;
    if (argc > arg && std::strncmp(argv[arg], "--growth=", 9) == 0) {
        const char* rule = argv[arg] + 9;
        if (std::strcmp(rule, "steps") == 0)
            growth = CHexImage::Growth::Steps;
        else if (std::strcmp(rule, "geometric") == 0)
            growth = CHexImage::Growth::Geometric;
        else
            return Usage();
        ++arg;
    }
    if (argc - arg != 2)
        return Usage();
    return Report(qb480::ConvertHexFile(argv[arg], argv[arg + 1], growth));
}
