#pragma once

// Paints a rack unit's background from its PanelLayout: anthracite brushed
// metal lit from the top left, rack ears with screws, engraved group frames,
// printed knob and fader scales, recessed display windows and crisp
// silk-screen labels. Deterministic: the same layout gives the same pixels on
// one machine (the brushing noise is seeded from the panel size).
//
// Threads: any thread that may use QPainter on a QImage; fonts need a
// QGuiApplication.

#include "skinkit/panel/PanelLayout.h"

#include <QImage>
#include <QString>

class QPainter;

class PanelPainter
{
public:
    static QImage paint(const panel::PanelLayout& layout);

    // The pieces, for artwork that shares the panel's look.
    static void paintBrushedMetal(QPainter& painter, const QRect& area, unsigned seed);
    static void paintScrew(QPainter& painter, const QPointF& centre, double radius,
                           double angleDegrees);
    static void paintLabel(QPainter& painter, const panel::PanelLabel& label);
    static void paintTitle(QPainter& painter, const QString& title);
    static void paintFootprint(QPainter& painter, const panel::PanelFootprint& footprint);
};
