// The index update files ("idx_ex.dat", "idxb_ex.dat") on any bytes.
#include "assets/index_files.h"
#include "db/brenvik_types.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        (void)DecodeIndexValues(bytes, QStringLiteral("idx_ex.dat"));
    } catch (const Exception&) {
    }
    try {
        (void)DecodeIndexDescriptions(bytes, QStringLiteral("idxb_ex.dat"));
    } catch (const Exception&) {
    }
    return 0;
}
