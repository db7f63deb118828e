// The text layout of the import with its checks (no database: accepted records are only counted). The first byte
// chooses the options.
#include "import/importer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    ImportOptions o;
    o.groups = data[0] & 1;
    o.extras = data[0] & 2;
    o.indexFromFile = data[0] & 4;
    ImportResult res;
    int staged = 0;
    ParseImportData(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)), ImportLayout::Text, o,
                    res, [&staged](const TBrenvikDatenimport&) { ++staged; });
    (void)res.summaryText();
    return 0;
}
