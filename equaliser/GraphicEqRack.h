#pragma once

// CGraphicEqRack: the graphic equaliser's panel, two rack slots high. The
// amplifier calls its Process after the mixer has filled the outputs; it
// forwards to the GraphicEqEngine it owns. The 31 sliders set the bands of
// the selected preset; the presets live in the settings file and are written
// when another preset is chosen and when the unit goes away. The pair
// switches start off at every start, so the equaliser is bypassed until the
// user switches it on.
//
// Threads: Process runs on the audio thread; everything else on the GUI
// thread. Never: Process allocates, locks or waits.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "equaliser/GraphicEqEngine.h"
#include "equaliser/GraphicEqLayout.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CMSlider.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CommandReceiver.h"
#include "utilkit/Ini.h"

#include <array>
#include <utility>

class CGraphicEqRack : public CommandReceiver<CRackUnit>
{
    Q_OBJECT

public:
    static constexpr int ID_SLIDER = graphic_eq_layout::kSliderCommand;
    static constexpr int ID_PRESET1 = graphic_eq_layout::kPresetCommand1;
    static constexpr int ID_RESET = graphic_eq_layout::kResetCommand;
    static constexpr int ID_PAIR = graphic_eq_layout::kPairCommand;

    explicit CGraphicEqRack(QWidget* parent = nullptr);
    // Saves the selected preset.
    ~CGraphicEqRack() override;

    // GUI thread, once: builds the controls and loads preset 1.
    void CreateControls() override;
    // Audio thread: filters the outputs in place.
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
    // GUI thread, device stopped: the device's rate (0.0 once it stopped).
    void SetSampleRate(float rate) override;

    // GUI thread: what the preset switches and Reset do.
    void selectPreset(int preset);
    void resetBands();
    int currentPreset() const { return m_nPreset; }

    GraphicEqEngine& engine() { return m_engine; }
    CMSlider& slider(int band) { return m_sliders[static_cast<size_t>(band)]; }
    CMyButton& pairSwitch(int pair) { return pair == 0 ? m_pair1 : m_pair2; }
    CMyButton& presetButton(int preset) { return m_presets[static_cast<size_t>(preset - 1)]; }
    CMyButton& resetButton() { return m_reset; }
    CLEDLight& lamp() { return m_lamp; }

    // The controls in the layout table's row order.
    std::array<PanelControlRef, graphic_eq_layout::ControlCount> controlRefs();

protected:
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    template <size_t... Band>
    static std::array<CMSlider, sizeof...(Band)> makeSliders(std::index_sequence<Band...>)
    {
        return {CMSlider{(static_cast<void>(Band), GraphicEqEngine::kMaxValue),
                         GraphicEqEngine::kMinValue}...};
    }

    GraphicEqEngine::Values sliderValues() const;
    void showValues(const GraphicEqEngine::Values& values);
    void savePreset();
    void pairsChanged();

    CMyButton m_pair1{true};
    CMyButton m_pair2{true};
    CLEDLight m_lamp;
    std::array<CMSlider, graphic_eq_layout::bandCount> m_sliders =
        makeSliders(std::make_index_sequence<graphic_eq_layout::bandCount>{});
    std::array<CMyButton, graphic_eq_layout::presetCount> m_presets{
        CMyButton{true}, CMyButton{true}, CMyButton{true}, CMyButton{true}};
    CMyButton m_reset;
    CIni m_settings;
    int m_nPreset = 1;
    bool m_bControlsCreated = false;
    // Set while the panel moves the sliders itself (one recompute at the end).
    bool m_bShowing = false;
    GraphicEqEngine m_engine;
};
