#ifndef KAVATMSTATUSHISTORY_P_H
#define KAVATMSTATUSHISTORY_P_H

#include <QtCore/QList>

#include <initializer_list>

// The status history of a background worker (a processor or the update manager), kept by its
// monitor and read by the waits.
namespace KAVAtmStatusHistory {

// Appends the status; returns whether the worker has shown activity (a status other than idle,
// or any status once the marker of a run is in the history), after which the monitor awaits the
// completion that follows.
template<typename Status>
bool Record(QList<Status> &history, Status status, Status runMarker, Status idle)
{
    const bool active = history.contains(runMarker) || status != idle;
    history.append(status);
    return active;
}

// Whether the history shows a finished run: the last entry of the first marker found (in the
// order given) is followed directly by idle.
template<typename Status>
bool HasFinishedRun(const QList<Status> &history, std::initializer_list<Status> runMarkers,
                    Status idle)
{
    for (Status marker : runMarkers) {
        const qsizetype last = history.lastIndexOf(marker);
        if (last >= 0)
            return last + 1 < history.size() && history.at(last + 1) == idle;
    }
    return false;
}

} // namespace KAVAtmStatusHistory

#endif // KAVATMSTATUSHISTORY_P_H
