// libFuzzer target: the .nse reader takes any bytes.
#include "core/files/NseFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const NseContents c = parseNse(bytes);
    // Boxes fill in order: a later box is never set without the earlier ones.
    if ((c.hasSector && !c.hasName) || (c.hasCompany && !c.hasSector))
        std::abort();
    if (size > 0 && !c.hasName)
        std::abort();
    // Three texts without line ends come back as they went.
    if (!c.name.contains(QLatin1Char('\r')) && !c.name.contains(QLatin1Char('\n'))) {
        const NseContents again = parseNse(nseBytes(c.name, c.sector, c.company));
        if (again.name != c.name || again.sector != c.sector || again.company != c.company)
            std::abort();
    }
    return 0;
}
