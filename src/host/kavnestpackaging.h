#ifndef KAVNESTPACKAGING_H
#define KAVNESTPACKAGING_H

#include "kavfeatobject.h"

// How the nesting's parts are packed for sheets (strategy and order).
class KAVHOST_EXPORT KAVNestPackaging : public KAVFeatObject {
    Q_OBJECT
    Q_PROPERTY(QString strategy READ GetStrategy WRITE SetStrategy)
public:
    explicit KAVNestPackaging(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVNestPackaging() override;

    QString GetStrategy() const;
    void SetStrategy(const QString &strategy);

private:
    QString m_strategy;
};

#endif // KAVNESTPACKAGING_H
