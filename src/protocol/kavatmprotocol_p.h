#ifndef KAVATMPROTOCOL_P_H
#define KAVATMPROTOCOL_P_H

#include <QtCore/QByteArray>
#include <QtCore/QMessageAuthenticationCode>
#include <QtCore/QString>

// What both sides of the runner-client connection agree on: the keys each proves and the
// command names. A client proves the client key and checks the runner's; the runner the other
// way round.
namespace KAVAtmProtocol {

// The built-in pair, for hosts started without a secret of their own.
inline const QByteArray ClientKey = QByteArrayLiteral("q7Vd2LmX9sKpR4tWz8NcA");
inline const QByteArray OrchestratorKey = QByteArrayLiteral("Hf3Ub6Ye0Jn5Gi1Oa7Tr+");

// The runner gives each host it launches a fresh random secret, in hexadecimal, in this
// environment variable; both keys of that host's connection are made from it.
inline const char SecretVariable[] = "KAVAtmClientSecret";
constexpr int SecretSize = 32;

inline QByteArray DeriveKey(const QByteArray &secret, const QByteArray &role)
{
    return QMessageAuthenticationCode::hash(QByteArrayLiteral("KAVAtm key v1 ") + role, secret,
                                            QCryptographicHash::Sha256);
}
inline QByteArray DeriveClientKey(const QByteArray &secret)
{
    return DeriveKey(secret, QByteArrayLiteral("client"));
}
inline QByteArray DeriveOrchestratorKey(const QByteArray &secret)
{
    return DeriveKey(secret, QByteArrayLiteral("runner"));
}

// Which actions a launched host takes a screenshot after: "off", "failures" (the default) or
// "all".
inline const char ScreenshotsVariable[] = "KAVAtmScreenshots";
enum class ScreenshotMode { Off, Failures, All };
// "off", "failures" or "all" (any letter case); anything else, or nothing, is "failures".
inline ScreenshotMode ScreenshotModeFromText(const QString &text)
{
    if (text.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
        return ScreenshotMode::Off;
    if (text.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0)
        return ScreenshotMode::All;
    return ScreenshotMode::Failures;
}
inline QString ScreenshotModeText(ScreenshotMode mode)
{
    switch (mode) {
    case ScreenshotMode::Off:
        return QStringLiteral("off");
    case ScreenshotMode::All:
        return QStringLiteral("all");
    case ScreenshotMode::Failures:
        break;
    }
    return QStringLiteral("failures");
}
// Set ("1") when the runner keeps a step trace: the host then sends, with every finished
// action, a screenshot and what its widgets show.
inline const char TraceVariable[] = "KAVAtmTrace";

// Client to runner.
inline const QByteArray CommandClient = QByteArrayLiteral("client");
inline const QByteArray CommandActionUpdate = QByteArrayLiteral("actionupdate");
inline const QByteArray CommandRecordingData = QByteArrayLiteral("recordingdata");
// {"status": 0 stopped, 1 recording, 2 paused}, on every change.
inline const QByteArray CommandRecordingStatus = QByteArrayLiteral("recordingstatus");
// Runner to client.
inline const QByteArray CommandExecute = QByteArrayLiteral("execute");
inline const QByteArray CommandCancel = QByteArrayLiteral("cancel");

} // namespace KAVAtmProtocol

#endif // KAVATMPROTOCOL_P_H
