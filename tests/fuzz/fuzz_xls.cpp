// The .xls reader (OLE2 container and BIFF8 records) on any bytes: a worksheet or a German message, never a crash.
#include "import/workbook.h"
#include "run_layouts.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const Worksheet ws = ReadXlsBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        for (int r = 1; r <= ws.rowCount() && r <= 50; ++r)
            for (int c = 1; c <= 40; ++c)
                (void)ws.cell(r, c);
    } catch (const Exception&) {
    }
    RunImportLayouts(data, size);
    return 0;
}
