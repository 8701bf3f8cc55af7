#pragma once

// CRackUnit: the window every rack unit is made of. It shows the unit's
// background picture, ignores clicks and keys on that background (only the
// unit's own controls react), and offers the right-click menu that asks the
// rack view to move the unit up or down.
//
// The engine side (Process, sample rate, running and routed flags) comes from
// RackProcessor. Threads: everything here runs on the GUI thread.

#include "app/RackProcessor.h"
#include "app/RackUnitTable.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

class QMenu;

class CRackUnit : public QWidget, public RackProcessor
{
    Q_OBJECT

public:
    // backgroundId: the program's picture for this unit (":/corvane/<id>.png");
    // a plain placeholder panel stands in when the picture is missing.
    explicit CRackUnit(int backgroundId, QWidget* parent = nullptr);
    // A unit of the rack's registry: its background, name and height come
    // from its row.
    explicit CRackUnit(rack::RackUnitIndex index, QWidget* parent = nullptr);
    ~CRackUnit() override;

    // Creates the unit's controls and reads its settings; called once by the
    // view after the unit's window exists.
    virtual void CreateControls() = 0;

    int m_nHeight = 1;
    int m_nPos = 0;
    QString m_strName;

    int backgroundId() const { return m_nBackgroundId; }
    const QPixmap& background() const { return m_bmpBack; }

    // The context menu as it is shown (title, separator, Move Up, Move Down);
    // the caller owns it.
    QMenu* createContextMenu();
    // Runs a context-menu command: posts the move to the parent.
    void OnRackCommand(int commandId);

    static QPixmap placeholderBackground(int width, int height, const QString& label);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    const int m_nBackgroundId;
    QPixmap m_bmpBack;
};
