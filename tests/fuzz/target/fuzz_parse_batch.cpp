// libFuzzer entry for the batch file reader: any bytes must read without a crash, give entries
// the writer can store, and read back the same after a save.
#include "batches/BatchFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* why) {
    std::fprintf(stderr, "parseBatch invariant broken: %s\n", why);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList entries = qp::parseBatch(bytes);

    for (const QString& entry : entries) {
        if (entry.isEmpty())
            fail("an empty entry was listed");
        for (const QChar c : entry) {
            if (c == u'"' || c == u'\r' || c == u'\n')
                fail("an entry holds a quote or a line end");
        }
        if (entry.toUtf8().size() > bytes.size() * 3)
            fail("an entry grew beyond what its bytes can decode to");
    }
    if (entries.size() > static_cast<qsizetype>(size))
        fail("more entries than bytes");
    if (qp::parseBatch(qp::formatBatch(entries)) != entries)
        fail("a saved list does not read back the same");
    return 0;
}
