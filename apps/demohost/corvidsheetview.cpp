#include "corvidsheetview.h"
#include "corviddocument.h"

#include "kavfeatbrowserwidget.h"
#include "kavfeatcontainer.h"
#include "kavfeatenvironment.h"
#include "kavnestfeature.h"
#include "kavnestsheet.h"
#include "kavnestsheetitem.h"

#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>

namespace {
constexpr double Margin = 8;
}

CorvidSheetView::CorvidSheetView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("sheetView"));
    setMinimumSize(200, 150);
    setAutoFillBackground(true);
}

void CorvidSheetView::SetDocument(CorvidDocument *document)
{
    if (m_document)
        disconnect(m_document, nullptr, this, nullptr);
    m_document = document;
    if (KAVFeatEnvironment *environment = document ? document->GetEnvironment() : nullptr) {
        const auto repaint = [this] { update(); };
        connect(environment->GetContainer(), &KAVFeatContainer::Changed, this, repaint);
        connect(environment, &KAVFeatEnvironment::SelectionChanged, this, repaint);
        connect(document, &CorvidDocument::ProcessingFinished, this, repaint);
    }
    update();
}

QSize CorvidSheetView::sizeHint() const
{
    return QSize(480, 360);
}

// Every sheet of every nesting in one row, scaled to fit the widget; each placed part where
// the document placed it.
QList<CorvidSheetView::Shape> CorvidSheetView::Layout() const
{
    QList<Shape> shapes;
    KAVFeatEnvironment *environment = m_document ? m_document->GetEnvironment() : nullptr;
    if (!environment)
        return shapes;
    QList<KAVNestSheet *> sheets;
    for (KAVFeatObject *root : environment->GetContainer()->GetFeatureRoots()) {
        for (KAVFeatObject *nesting : root->GetChildren()) {
            if (!qobject_cast<KAVNestFeature *>(nesting))
                continue;
            for (KAVFeatObject *child : nesting->GetChildren()) {
                if (auto *sheet = qobject_cast<KAVNestSheet *>(child))
                    sheets.append(sheet);
            }
        }
    }
    double totalWidth = 0, maxHeight = 0;
    for (const KAVNestSheet *sheet : std::as_const(sheets)) {
        totalWidth += sheet->GetWidth().ConvertTo(KAVSysValue::Millimeter);
        maxHeight = qMax(maxHeight, sheet->GetHeight().ConvertTo(KAVSysValue::Millimeter));
    }
    if (sheets.isEmpty() || totalWidth <= 0 || maxHeight <= 0)
        return shapes;
    const double gaps = Margin * (sheets.size() + 1);
    const double scale = qMin((width() - gaps) / totalWidth, (height() - 2 * Margin) / maxHeight);
    if (scale <= 0)
        return shapes;
    double left = Margin;
    for (KAVNestSheet *sheet : std::as_const(sheets)) {
        const double w = sheet->GetWidth().ConvertTo(KAVSysValue::Millimeter);
        const double h = sheet->GetHeight().ConvertTo(KAVSysValue::Millimeter);
        shapes.append({sheet, QRectF(left, Margin, w * scale, h * scale), true});
        for (KAVFeatObject *child : sheet->GetChildren()) {
            auto *item = qobject_cast<KAVNestSheetItem *>(child);
            const QRectF placed = item ? m_document->GetPlacement(item) : QRectF();
            if (placed.isValid()) {
                shapes.append({item,
                               QRectF(left + placed.x() * scale, Margin + placed.y() * scale,
                                      placed.width() * scale, placed.height() * scale),
                               false});
            }
        }
        left += w * scale + Margin;
    }
    return shapes;
}

QRect CorvidSheetView::PartRect(const QString &fullPath) const
{
    for (const Shape &shape : Layout()) {
        if (!shape.sheet && shape.object
            && KAVFeatBrowserWidget::GetFullPath(shape.object) == fullPath)
            return shape.rect.toAlignedRect();
    }
    return QRect();
}

void CorvidSheetView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    KAVFeatEnvironment *environment = m_document ? m_document->GetEnvironment() : nullptr;
    const KAVFeatObjectSet selection
        = environment ? environment->GetSelection() : KAVFeatObjectSet();
    for (const Shape &shape : Layout()) {
        if (shape.sheet) {
            painter.setPen(Qt::darkGray);
            painter.setBrush(QColor(235, 235, 235));
        } else {
            const bool selected = selection.contains(shape.object.data());
            painter.setPen(selected ? QPen(Qt::black, 2) : QPen(Qt::darkBlue));
            painter.setBrush(selected ? QColor(240, 160, 40) : QColor(120, 160, 220));
        }
        painter.drawRect(shape.rect);
    }
}

void CorvidSheetView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    KAVFeatObject *hit = nullptr;
    for (const Shape &shape : Layout()) {
        if (!shape.sheet && shape.rect.contains(event->position()))
            hit = shape.object;
    }
    Q_EMIT userSelected(hit);
    event->accept();
}
