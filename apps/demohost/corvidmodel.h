#ifndef CORVIDMODEL_H
#define CORVIDMODEL_H

#include "kavnestreport.h"
#include "kavnestsheet.h"
#include "kavnestsource.h"

// The demo host's own kinds of feature objects, each a host nesting object with what this host
// adds to it. Some of what they add differs on every run (a colour, a time, a path); data
// assertions ignore those by name.

// A part to nest: its outline's size, how many are wanted, and where it was read from.
class CorvidPart : public KAVNestSource {
    Q_OBJECT
    Q_PROPERTY(double width MEMBER m_width)
    Q_PROPERTY(double height MEMBER m_height)
    Q_PROPERTY(int quantity MEMBER m_quantity)
    Q_PROPERTY(int material MEMBER m_material)
    Q_PROPERTY(QString url MEMBER m_url)
    Q_PROPERTY(bool translated MEMBER m_translated)
public:
    using KAVNestSource::KAVNestSource;

    double m_width = 0;
    double m_height = 0;
    int m_quantity = 1;
    int m_material = 0; // which of the document's materials
    QString m_url;
    bool m_translated = false;
};

// A nested sheet, with the colour the host shows it in.
class CorvidSheet : public KAVNestSheet {
    Q_OBJECT
    Q_PROPERTY(QString nestingColor MEMBER m_nestingColor)
    Q_PROPERTY(double usedArea MEMBER m_usedArea)
public:
    using KAVNestSheet::KAVNestSheet;

    QString m_nestingColor;
    double m_usedArea = 0;
};

// The outcome of a nesting run, with when it ran and where the host wrote it.
class CorvidReport : public KAVNestReport {
    Q_OBJECT
    Q_PROPERTY(int placedParts MEMBER m_placedParts)
    Q_PROPERTY(QString time MEMBER m_time)
    Q_PROPERTY(QString resultFile MEMBER m_resultFile)
public:
    using KAVNestReport::KAVNestReport;

    int m_placedParts = 0;
    QString m_time;
    QString m_resultFile;
};

#endif // CORVIDMODEL_H
