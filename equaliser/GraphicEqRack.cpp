#include "equaliser/GraphicEqRack.h"

#include "app/RackUnitTable.h"
#include "equaliser/GraphicEqSettings.h"

CGraphicEqRack::CGraphicEqRack(QWidget* parent)
    : CommandReceiver<CRackUnit>(rack::GraphicEQ, parent)
{
    m_settings.SetPathName(rack::kSettingsFileName);
}

CGraphicEqRack::~CGraphicEqRack()
{
    if (m_bControlsCreated)
        savePreset();
}

std::array<PanelControlRef, graphic_eq_layout::ControlCount> CGraphicEqRack::controlRefs()
{
    std::array<PanelControlRef, graphic_eq_layout::ControlCount> refs{};
    refs[graphic_eq_layout::Pair1Switch] = &m_pair1;
    refs[graphic_eq_layout::Pair2Switch] = &m_pair2;
    refs[graphic_eq_layout::Lamp] = &m_lamp;
    for (size_t band = 0; band < m_sliders.size(); ++band)
        refs[graphic_eq_layout::Slider1 + band] = &m_sliders[band];
    for (size_t preset = 0; preset < m_presets.size(); ++preset)
        refs[graphic_eq_layout::Preset1 + preset] = &m_presets[preset];
    refs[graphic_eq_layout::ResetButton] = &m_reset;
    return refs;
}

void CGraphicEqRack::CreateControls()
{
    m_bShowing = true;
    panel_controls::createControls(*this, graphic_eq_layout::controls, controlRefs());
    m_bShowing = false;
    m_bControlsCreated = true;
    m_presets[0].SetStatus(true);
    m_nPreset = 1;
    showValues(RestoreGraphicEqSettings(m_settings, m_nPreset));
}

void CGraphicEqRack::Process(float** in, float** out, long numIn, long numOut, long frames)
{
    m_engine.process(in, out, numIn, numOut, frames);
}

void CGraphicEqRack::SetSampleRate(float rate)
{
    CRackUnit::SetSampleRate(rate);
    m_engine.prepare(rate);
    if (rate > 0.0f)
        m_engine.reset();
}

GraphicEqEngine::Values CGraphicEqRack::sliderValues() const
{
    GraphicEqEngine::Values values{};
    for (size_t band = 0; band < values.size(); ++band)
        values[band] = m_sliders[band].getvalue();
    return values;
}

void CGraphicEqRack::showValues(const GraphicEqEngine::Values& values)
{
    m_bShowing = true;
    for (size_t band = 0; band < values.size(); ++band)
        m_sliders[band].setvalue(values[band]);
    m_bShowing = false;
    m_engine.setValues(sliderValues());
}

void CGraphicEqRack::savePreset()
{
    SaveGraphicEqSettings(m_settings, m_nPreset, sliderValues());
}

void CGraphicEqRack::selectPreset(int preset)
{
    if (preset < 1 || preset > graphic_eq_settings::kPresetCount)
        return;
    savePreset();
    for (int other = 1; other <= graphic_eq_settings::kPresetCount; ++other)
        presetButton(other).SetStatus(other == preset);
    m_nPreset = preset;
    showValues(RestoreGraphicEqSettings(m_settings, preset));
}

void CGraphicEqRack::resetBands()
{
    GraphicEqEngine::Values flat{};
    flat.fill(GraphicEqEngine::kFlatValue);
    showValues(flat);
}

void CGraphicEqRack::pairsChanged()
{
    m_engine.setPairEnabled(0, m_pair1.getStatus());
    m_engine.setPairEnabled(1, m_pair2.getStatus());
    m_lamp.setlightened(m_pair1.getStatus() || m_pair2.getStatus());
}

void CGraphicEqRack::OnCommand(int commandId, QWidget*)
{
    if (commandId == ID_SLIDER)
    {
        if (!m_bShowing)
            m_engine.setValues(sliderValues());
        return;
    }
    if (commandId >= ID_PRESET1 && commandId < ID_PRESET1 + graphic_eq_settings::kPresetCount)
    {
        selectPreset(commandId - ID_PRESET1 + 1);
        return;
    }
    if (commandId == ID_RESET)
        resetBands();
    else if (commandId == ID_PAIR)
        pairsChanged();
}
