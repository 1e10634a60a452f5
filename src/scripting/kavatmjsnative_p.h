#ifndef KAVATMJSNATIVE_P_H
#define KAVATMJSNATIVE_P_H

#include <QtCore/QObject>

// What the script library does in C++ for speed, as the global "kavNative".
class KAVAtmJsNative : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // kavAssert.areEqualJson: empty when equal, else the message of the first difference.
    Q_INVOKABLE QString CompareJson(const QString &expected, const QString &actual) const;
};

#endif // KAVATMJSNATIVE_P_H
