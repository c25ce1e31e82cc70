#pragma once

#include <QString>
#include <chrono>

namespace qp {

// Confirms that a print handed to another program (LibreOffice) reached CUPS: from its
// construction on it collects the jobs created on one destination, through a CUPS event
// subscription, so that a job is seen even when the queue has finished and forgotten it
// before anyone looks. Ends the subscription when destroyed.
class CupsJobWatch {
public:
    // Throws AppError 440, naming the file and the destination, when CUPS refuses to watch.
    CupsJobWatch(const QString& destination, const QString& path,
                 std::chrono::milliseconds lifetime);
    ~CupsJobWatch();
    CupsJobWatch(const CupsJobWatch&) = delete;
    CupsJobWatch& operator=(const CupsJobWatch&) = delete;

    // Whether a job of this user has been created on the destination since construction,
    // asking again until one has or the time given has passed.
    bool jobArrived(std::chrono::milliseconds within);

private:
    bool newJobOfThisUser();

    QByteArray m_uri;
    int m_subscription = 0;
    int m_nextSequence = 1;
};

} // namespace qp
