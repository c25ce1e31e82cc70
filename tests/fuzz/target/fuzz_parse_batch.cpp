// Any bytes must read without a crash into entries the writer can store, and a saved list must
// read back the same.
#include "batches/BatchFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

static void check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "parseBatch broke: %s\n", what);
        std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList entries = qp::parseBatch(bytes);
    check(entries.size() <= qsizetype(size), "more entries than bytes");
    for (const QString& entry : entries) {
        check(!entry.isEmpty(), "an empty entry was listed");
        check(!entry.contains(u'"') && !entry.contains(u'\r') && !entry.contains(u'\n'),
              "an entry holds a quote or a line end");
        check(entry.toUtf8().size() <= bytes.size() * 3, "an entry grew beyond its bytes");
    }
    check(qp::parseBatch(qp::formatBatch(entries)) == entries, "a saved list reads back changed");
    return 0;
}
