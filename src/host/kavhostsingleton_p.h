#ifndef KAVHOSTSINGLETON_P_H
#define KAVHOSTSINGLETON_P_H

#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>

// Host singletons are created on first use as children of the application object, so they go
// before it does; main thread only, like the host's own.
template<typename T> T *KAVHostSingleton(QPointer<T> &instance, T *(*create)(QObject *parent))
{
    if (!instance)
        instance = create(QCoreApplication::instance());
    return instance;
}

#endif // KAVHOSTSINGLETON_P_H
