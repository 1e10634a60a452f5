#ifndef CORVIDSHEETVIEW_H
#define CORVIDSHEETVIEW_H

#include <QtCore/QPointer>
#include <QtCore/QRectF>
#include <QtWidgets/QWidget>

class CorvidDocument;
class KAVFeatObject;

// Draws the sheets of the current document side by side, each with the parts placed on it;
// selected parts are highlighted. Clicking a part selects it, clicking beside the parts
// clears the selection; userSelected follows every such click.
class CorvidSheetView : public QWidget {
    Q_OBJECT
public:
    explicit CorvidSheetView(QWidget *parent = nullptr);

    void SetDocument(CorvidDocument *document);
    // Where a placed part is drawn, in this widget's coordinates; empty when it is not shown.
    Q_INVOKABLE QRect PartRect(const QString &fullPath) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void userSelected(KAVFeatObject *object);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    struct Shape {
        QPointer<KAVFeatObject> object; // a sheet or a placed part
        QRectF rect;
        bool sheet = false;
    };
    QList<Shape> Layout() const;

    QPointer<CorvidDocument> m_document;
};

#endif // CORVIDSHEETVIEW_H
