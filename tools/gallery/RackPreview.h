#pragma once

// The rack as it looks before the units draw their controls: the view's
// background with every unit's background stacked in the default order
// (69 pixels per slot).
//
// Threads: GUI thread only.

#include <QWidget>

class RackPreview : public QWidget
{
    Q_OBJECT

public:
    RackPreview();

protected:
    void paintEvent(QPaintEvent* event) override;
};
