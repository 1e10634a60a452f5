#ifndef KAVATMWAITTRANSLATIONACTIONDEF_H
#define KAVATMWAITTRANSLATIONACTIONDEF_H

#include "kavatmtestactiondef.h"

// Waits for the translation (source) processor of the current document.
class KAVAUTOMATION_EXPORT KAVAtmWaitTranslationActionDef : public KAVAtmTestActionDef {
    Q_OBJECT
    Q_CLASSINFO("actionType", "WaitTranslation")
public:
    Q_INVOKABLE KAVAtmWaitTranslationActionDef();
    ~KAVAtmWaitTranslationActionDef() override;

    static QByteArray GetActionName();
};

#endif // KAVATMWAITTRANSLATIONACTIONDEF_H
