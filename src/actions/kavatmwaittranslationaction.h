#ifndef KAVATMWAITTRANSLATIONACTION_H
#define KAVATMWAITTRANSLATIONACTION_H

#include "kavatmwaitprocessoractionbase.h"
#include "kavatmwaittranslationactiondef.h"

class KAVAtmWaitTranslationActionPrivate;

// Waits for the translation (source) processor of the current environment.
class KAVAUTOMATION_EXPORT KAVAtmWaitTranslationAction : public KAVAtmWaitProcessorActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE KAVAtmWaitTranslationAction(KAVAtmPlatform &platform, const QUuid &id,
                                            const QJsonValue &data);
    ~KAVAtmWaitTranslationAction() override;

    static QByteArray GetActionName();

    void Execute() override;

private:
    Q_DECLARE_PRIVATE(KAVAtmWaitTranslationAction)
};

#endif // KAVATMWAITTRANSLATIONACTION_H
