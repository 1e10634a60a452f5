#ifndef KAVATMTESTDEFBASE_H
#define KAVATMTESTDEFBASE_H

#include "kavautomation_export.h"

#include <QtCore/QObject>

#include <memory>

class KAVAtmTestDefBasePrivate;

// Common root of action and procedure definitions: whether the definition changed since it
// was last saved.
class KAVAUTOMATION_EXPORT KAVAtmTestDefBase : public QObject {
public:
    ~KAVAtmTestDefBase() override;

    virtual bool IsChanged() const;

protected:
    KAVAtmTestDefBase();
    void SetChanged(bool changed);

private:
    const std::unique_ptr<KAVAtmTestDefBasePrivate> d;
};

#endif // KAVATMTESTDEFBASE_H
