#ifndef KAVATMCONNECTIONKEYS_P_H
#define KAVATMCONNECTIONKEYS_P_H

#include <QtCore/QByteArray>

// The keys both sides of the runner-client connection prove. A client proves the first and
// checks the second; the runner the other way round.
namespace KAVAtmConnectionKeys {
inline const QByteArray ClientKey = QByteArrayLiteral("q7Vd2LmX9sKpR4tWz8NcA");
inline const QByteArray OrchestratorKey = QByteArrayLiteral("Hf3Ub6Ye0Jn5Gi1Oa7Tr+");
} // namespace KAVAtmConnectionKeys

#endif // KAVATMCONNECTIONKEYS_P_H
