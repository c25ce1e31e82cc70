#pragma once

#include <QString>
#include <vector>

namespace qp::test {

// One PDF of the shared corpus and what its manifest says about it.
struct CorpusPdf {
    QString path;
    int pages = 0; // 0 when it cannot be opened without its password
    bool needsPassword = false;
    bool printingAllowed = true;
};

// The PDFs listed in QP_CORPUS_DIR/MANIFEST.tsv; fails the test when the corpus is missing.
std::vector<CorpusPdf> corpusPdfs();
// A corpus PDF by file name.
CorpusPdf corpusPdf(const QString& fileName);

} // namespace qp::test
