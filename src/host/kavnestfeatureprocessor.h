#ifndef KAVNESTFEATUREPROCESSOR_H
#define KAVNESTFEATUREPROCESSOR_H

#include "kavnestprocessorbase.h"

// The nesting processor of an environment.
class KAVHOST_EXPORT KAVNestFeatureProcessor : public KAVNestProcessorBase {
    Q_OBJECT
public:
    // Created as a child of the environment; at most one per environment is looked up.
    explicit KAVNestFeatureProcessor(KAVFeatEnvironment *environment);
    ~KAVNestFeatureProcessor() override;

    // The environment's nesting processor, or null.
    static KAVNestFeatureProcessor *GetProcessor(const KAVFeatEnvironment *environment);
};

#endif // KAVNESTFEATUREPROCESSOR_H
