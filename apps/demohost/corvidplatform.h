#ifndef CORVIDPLATFORM_H
#define CORVIDPLATFORM_H

#include "kavatmplatform.h"

#include <QtCore/QList>
#include <QtCore/QVariantMap>

class CorvidDocument;

// The demo host's automation platform: the documents it has open, its user settings, and
// the executors of the action types the library leaves to the host.
class CorvidPlatform : public KAVAtmPlatform {
    Q_OBJECT
public:
    CorvidPlatform();
    ~CorvidPlatform() override;

    void ClosePlatform() override;
    void ResetUserSettings() override;

    // Opens a document, makes it current, installs the monitors and starts its processing.
    CorvidDocument *OpenDocument(const QString &filePath, QString *error);
    // The open document of that file name (complete base name) or path; null when none.
    CorvidDocument *FindDocument(const QString &nameOrPath) const;
    CorvidDocument *GetCurrentDocument() const;
    void CloseDocument(CorvidDocument *document);
    QList<CorvidDocument *> GetDocuments() const;

    QVariantMap GetUserSettings() const;
    void SetUserSetting(const QString &key, const QVariant &value);
    // What ResetUserSettings goes back to.
    QVariantMap GetDefaultUserSettings() const;
    void SetDefaultUserSetting(const QString &key, const QVariant &value);

protected:
    // Selections are replayed by the tree paths of the selected objects.
    bool HandleRecordSelection(const KAVFeatObjectSet &selections) override;

private:
    QList<CorvidDocument *> m_documents;
    QVariantMap m_defaults;
    QVariantMap m_settings;
};

#endif // CORVIDPLATFORM_H
