#ifndef KAVATMPROTOCOL_P_H
#define KAVATMPROTOCOL_P_H

#include <QtCore/QByteArray>

// What both sides of the runner-client connection agree on: the keys each proves and the
// command names. A client proves the client key and checks the runner's; the runner the other
// way round.
namespace KAVAtmProtocol {

inline const QByteArray ClientKey = QByteArrayLiteral("q7Vd2LmX9sKpR4tWz8NcA");
inline const QByteArray OrchestratorKey = QByteArrayLiteral("Hf3Ub6Ye0Jn5Gi1Oa7Tr+");

// Client to runner.
inline const QByteArray CommandClient = QByteArrayLiteral("client");
inline const QByteArray CommandActionUpdate = QByteArrayLiteral("actionupdate");
inline const QByteArray CommandRecordingData = QByteArrayLiteral("recordingdata");
// Runner to client.
inline const QByteArray CommandExecute = QByteArrayLiteral("execute");
inline const QByteArray CommandCancel = QByteArrayLiteral("cancel");

} // namespace KAVAtmProtocol

#endif // KAVATMPROTOCOL_P_H
