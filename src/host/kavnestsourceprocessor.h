#ifndef KAVNESTSOURCEPROCESSOR_H
#define KAVNESTSOURCEPROCESSOR_H

#include "kavnestprocessorbase.h"

// The translation processor of an environment: turns source geometry into nesting parts.
class KAVHOST_EXPORT KAVNestSourceProcessor : public KAVNestProcessorBase {
    Q_OBJECT
public:
    explicit KAVNestSourceProcessor(KAVFeatEnvironment *environment);
    ~KAVNestSourceProcessor() override;

    // The environment's translation processor, or null.
    static KAVNestSourceProcessor *GetProcessor(const KAVFeatEnvironment *environment);
};

#endif // KAVNESTSOURCEPROCESSOR_H
