#pragma once

// The control gallery: every skinned control with skinkit's default pictures
// and with the program's artwork, on rack panels painted from layout tables,
// with moving meters. A person can try every control; the status line shows
// each command the window receives.
//
// Threads: GUI thread only.

#include "plugins/CMStatic.h"
#include "skinkit/CCheckBox.h"
#include "skinkit/CKnob.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CLevel.h"
#include "skinkit/CLevelDriver.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CMSlider.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CVUMeter.h"
#include "skinkit/CommandReceiver.h"

#include <QPixmap>
#include <QTimer>

#include <deque>
#include <memory>

class GalleryWindow : public CommandReceiver<QWidget>
{
    Q_OBJECT

public:
    GalleryWindow();
    ~GalleryWindow() override;

    // Freezes the meters at fixed levels, for a reproducible screenshot.
    void showStillLevels();

protected:
    void paintEvent(QPaintEvent* event) override;
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    template <class Control, class... Arguments> Control& add(Arguments&&... arguments)
    {
        m_controls.push_back(std::make_unique<Control>(std::forward<Arguments>(arguments)...));
        return static_cast<Control&>(*m_controls.back());
    }

    void buildDefaultsPanel();
    void buildProgramPanel();
    void buildTransportPanel();
    void feedMeters();

    QPixmap m_background;
    std::deque<std::unique_ptr<QWidget>> m_controls;
    std::vector<CLevel*> m_levels;
    std::vector<CVUMeter*> m_vuMeters;
    CMStatic m_status;
    CLevelDriver m_driver;
    QTimer m_signalTimer;
    double m_signalPhase = 0.0;
};
