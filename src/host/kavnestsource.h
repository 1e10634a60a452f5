#ifndef KAVNESTSOURCE_H
#define KAVNESTSOURCE_H

#include "kavfeatobject.h"

// Source geometry of parts, translated into shapes by the source processor. Besides its
// identifier it has a source key: the text that names the source across documents.
class KAVHOST_EXPORT KAVNestSource : public KAVFeatObject {
    Q_OBJECT
    Q_PROPERTY(QString sourceKey READ GetSourceKey WRITE SetSourceKey)
    Q_PROPERTY(QString file READ GetFile WRITE SetFile)
public:
    explicit KAVNestSource(const QString &identifier = QString(), QObject *parent = nullptr);
    ~KAVNestSource() override;

    QString GetSourceKey() const;
    void SetSourceKey(const QString &key);
    QString GetFile() const;
    void SetFile(const QString &file);

private:
    QString m_sourceKey;
    QString m_file;
};

#endif // KAVNESTSOURCE_H
