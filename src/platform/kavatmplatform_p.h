#ifndef KAVATMPLATFORM_P_H
#define KAVATMPLATFORM_P_H

//
//  The platform's private object: not part of the installed interface, and may change without
//  notice.
//

#include "kavatmplatform.h"
#include "kavatmprotocol_p.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMetaObject>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSet>

class KAVAtmClientOrchestratorConnection;
class KAVAtmOperationRecorder;
class KAVAtmTestActionBase;

class KAVAtmPlatformPrivate : public QObject {
    Q_OBJECT
public:
    KAVAtmPlatformPrivate(KAVAtmPlatform *platform, KAVAtmEnums::Platform type);
    ~KAVAtmPlatformPrivate() override;

    KAVAtmTestActionBase *CurrentAction() const;

    void SetUpConnection();

private Q_SLOTS:
    void OnSocketNeedsConnected();
    void OnConnectionAuthenticated();
    void OnExecuteRequested(const QUuid &id, const QJsonValue &actionData);
    void OnCancelRequested(const QUuid &id);

public:
    KAVAtmPlatform *const platform;
    KAVAtmClientOrchestratorConnection *connection = nullptr;
    const KAVAtmEnums::Platform platformType;
    KAVAtmEnums::PlatformMode mode = KAVAtmEnums::Undefined;
    KAVAtmPlatform::ConnectionStatus connectionStatus = KAVAtmPlatform::Disconnected;
    KAVAtmOperationRecorder *const recorder;
    KAVAtmProtocol::ScreenshotMode screenshots = KAVAtmProtocol::ScreenshotMode::Failures;
    bool traced = false;
    QHash<QByteArray, QMetaObject> executors;
    // Executors started and not ended, oldest first: one waiting in a nested loop can be
    // joined by another dispatched meanwhile. The newest is the current action.
    QList<QPointer<KAVAtmTestActionBase>> running;
    // Executors whose Execute() is on the stack.
    QSet<KAVAtmTestActionBase *> insideExecute;
    QPointer<KAVAtmProcessorMonitor> sourceProcessorMonitor;
    QPointer<KAVAtmProcessorMonitor> featureProcessorMonitor;
    QPointer<KAVAtmUpdateMonitor> updateMonitor;
};

#endif // KAVATMPLATFORM_P_H
