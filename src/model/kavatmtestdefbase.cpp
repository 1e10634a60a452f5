#include "kavatmtestdefbase.h"

class KAVAtmTestDefBasePrivate {
public:
    bool changed = false;
};

KAVAtmTestDefBase::KAVAtmTestDefBase() : d(new KAVAtmTestDefBasePrivate) { }

KAVAtmTestDefBase::~KAVAtmTestDefBase() = default;

bool KAVAtmTestDefBase::IsChanged() const
{
    return d->changed;
}

void KAVAtmTestDefBase::SetChanged(bool changed)
{
    d->changed = changed;
}
