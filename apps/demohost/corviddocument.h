#ifndef CORVIDDOCUMENT_H
#define CORVIDDOCUMENT_H

#include <QtCore/QHash>
#include <QtCore/QJsonObject>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRectF>
#include <QtCore/QSizeF>

class KAVFeatEnvironment;
class KAVMatMaterial;
class KAVNestFeature;
class KAVNestProcessorBase;
class KAVNestSheetItem;

// One open document of the demo host: a feature environment whose roots are its materials,
// its part sources and its nestings, one per material that has parts. Opening it translates the
// sources and then nests the parts, each in its processor, in steps on the event loop, the way
// the real host does its background work: status "running", progress, status "idle", a save,
// and an update of the stale objects.
class CorvidDocument : public QObject {
    Q_OBJECT
public:
    // A document file is JSON: {"materials": [{"type", "thickness"}, ...] (or one "material"),
    // "sheet": {"width", "height"}, "parts": [{"name", "width", "height", "quantity",
    // "material": index into the materials}]}.
    static CorvidDocument *Open(const QString &filePath, QString *error, QObject *parent);
    ~CorvidDocument() override;

    QString GetFilePath() const;
    KAVFeatEnvironment *GetEnvironment() const;

    // Runs the translation, then the nesting; returns at once.
    void Process();
    // Runs the nesting again (the "Nest" command).
    void Nest();
    // The sheet size of the next nesting, in millimetres.
    QSizeF GetSheetSize() const;
    void SetSheetSize(const QSizeF &size);
    // Removes the sheets of every nesting ("Nest.Clear").
    void ClearNesting();
    // Where the last nesting placed the sheet item on its sheet, in millimetres; empty for
    // an item it did not place.
    QRectF GetPlacement(const KAVNestSheetItem *item) const;

    // Milliseconds per processor step; the full run of a processor takes six steps.
    static int GetStepInterval();
    static void SetStepInterval(int milliseconds);

Q_SIGNALS:
    void ProcessingFinished();

private:
    CorvidDocument(const QString &filePath, const QJsonObject &content, QObject *parent);
    void Build();
    void Run(KAVNestProcessorBase *processor, void (CorvidDocument::*compute)(),
             void (CorvidDocument::*next)());
    void Translate();
    void ComputeNesting();
    void ComputeNesting(KAVNestFeature *nesting);
    void Finish();

    QString m_filePath;
    QJsonObject m_content;
    QPointer<KAVFeatEnvironment> m_environment;
    QList<KAVNestFeature *> m_nestings;
    QHash<const KAVNestSheetItem *, QRectF> m_placements;
};

#endif // CORVIDDOCUMENT_H
