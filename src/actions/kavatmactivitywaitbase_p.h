#ifndef KAVATMACTIVITYWAITBASE_P_H
#define KAVATMACTIVITYWAITBASE_P_H

#include "kavatmtestactionbase_p.h"

#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

class KAVAtmActivityWaitBasePrivate : public KAVAtmTestActionBasePrivate {
public:
    using KAVAtmTestActionBasePrivate::KAVAtmTestActionBasePrivate;

    QEventLoop loop;
    QPointer<QTimer> startTimer;
    bool finished = false;
    int startTimeout = 0;
};

#endif // KAVATMACTIVITYWAITBASE_P_H
