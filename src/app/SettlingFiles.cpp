#include "app/SettlingFiles.h"

#include <QSet>
#include <algorithm>
#include <vector>

namespace qp {

QStringList SettlingFiles::look(const QList<FileLook>& files, qint64 nowMs) {
    QSet<QString> present;
    for (const FileLook& file : files) {
        present.insert(file.path);
        const auto given = m_givenOut.constFind(file.path);
        if (given != m_givenOut.constEnd()) {
            if (*given == file.stamp)
                continue;
            m_givenOut.erase(given);
        }
        auto waiting = m_waiting.find(file.path);
        if (waiting == m_waiting.end()) {
            m_waiting.insert(file.path, {file.stamp, nowMs, ++m_arrivals});
            continue;
        }
        if (waiting->stamp != file.stamp || file.beingWritten) {
            waiting->stamp = file.stamp;
            waiting->since = nowMs;
        }
    }
    // Files gone meanwhile are forgotten: one that comes back is a new arrival.
    for (auto it = m_waiting.begin(); it != m_waiting.end();)
        it = present.contains(it.key()) ? std::next(it) : m_waiting.erase(it);
    for (auto it = m_givenOut.begin(); it != m_givenOut.end();)
        it = present.contains(it.key()) ? std::next(it) : m_givenOut.erase(it);

    std::vector<std::pair<quint64, QString>> complete;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (nowMs - it->since < m_settleMs) {
            ++it;
            continue;
        }
        complete.emplace_back(it->arrival, it.key());
        m_givenOut.insert(it.key(), it->stamp);
        it = m_waiting.erase(it);
    }
    std::sort(complete.begin(), complete.end());
    QStringList paths;
    for (const auto& [arrival, path] : complete)
        paths << path;
    return paths;
}

} // namespace qp
