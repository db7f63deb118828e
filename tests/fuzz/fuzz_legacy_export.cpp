// The reader of the predecessor's tables as mdb-export writes them, on any bytes.
#include "db/brenvik_types.h"
#include "migration/legacy_source.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const LegacyTable t = ParseMdbExport(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        for (int r = 0; r < t.rows.size() && r < 20; ++r)
            for (const QString& c : t.columns)
                try {
                    (void)t.value(r, c);
                } catch (const Exception&) {
                }
    } catch (const Exception&) {
    }
    return 0;
}
