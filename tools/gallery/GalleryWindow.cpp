#include "GalleryWindow.h"

#include "skinkit/panel/PanelPainter.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace
{
using panel::FootprintKind;
using panel::LabelAlignment;

// Three panels: 3, 4 and 2 rack slots.
constexpr int defaultsTop = 0;
constexpr int programTop = 3 * panel::slotHeight;
constexpr int transportTop = 7 * panel::slotHeight;
constexpr int galleryHeight = 9 * panel::slotHeight;

constexpr panel::PanelLabel defaultsLabels[] = {
    {52, 24, "KNOB", 9, LabelAlignment::Centre},
    {102, 24, "FADER", 9, LabelAlignment::Centre},
    {160, 24, "LEVEL", 9, LabelAlignment::Centre},
    {290, 24, "VU METERS", 9, LabelAlignment::Centre},
    {420, 24, "BUTTON", 9, LabelAlignment::Centre},
    {421, 118, "LED", 9, LabelAlignment::Centre},
    {480, 118, "LAMP", 9, LabelAlignment::Centre},
    {595, 24, "SELECTOR", 9, LabelAlignment::Centre},
    {712, 190, "SKINKIT DEFAULTS", 9, LabelAlignment::Right},
};
constexpr panel::PanelFootprint defaultsFootprints[] = {
    {40, 42, 24, 24, FootprintKind::Knob},       {150, 40, 10, 100, FootprintKind::Meter},
    {166, 40, 10, 100, FootprintKind::Meter},    {200, 40, 84, 50, FootprintKind::Meter},
    {292, 40, 84, 50, FootprintKind::Meter},     {400, 132, 42, 22, FootprintKind::Display},
    {520, 40, 150, 16, FootprintKind::Selector}, {390, 30, 300, 140, FootprintKind::Group},
};

constexpr panel::PanelLabel programLabels[] = {
    {53, programTop + 24, "SEND", 9, LabelAlignment::Centre},
    {123, programTop + 24, "EQ", 9, LabelAlignment::Centre},
    {159, programTop + 24, "GAIN", 9, LabelAlignment::Centre},
    {200, programTop + 24, "START", 9, LabelAlignment::Centre},
    {262, programTop + 24, "FADERS", 9, LabelAlignment::Centre},
    {353, programTop + 24, "GRAPHIC EQ", 9, LabelAlignment::Centre},
    {425, programTop + 24, "CH / OUT", 9, LabelAlignment::Centre},
    {510, programTop + 24, "IN / OUT", 9, LabelAlignment::Centre},
    {600, programTop + 24, "LATENCY", 9, LabelAlignment::Centre},
    {665, programTop + 24, "GAIN DB", 9, LabelAlignment::Centre},
    {100, programTop + 150, "LAMPS", 9, LabelAlignment::Centre},
    {62, programTop + 198, "POWER", 9, LabelAlignment::Centre},
    {125, programTop + 198, "BUS 1  2", 9, LabelAlignment::Centre},
    {340, programTop + 198, "PRESETS", 9, LabelAlignment::Centre},
    {712, programTop + 259, "PROGRAM ARTWORK", 9, LabelAlignment::Right},
};
constexpr panel::PanelFootprint programFootprints[] = {
    {40, programTop + 40, 26, 26, FootprintKind::Knob},
    {110, programTop + 40, 26, 26, FootprintKind::Knob},
    {145, programTop + 39, 28, 28, FootprintKind::Knob},
    {185, programTop + 38, 30, 30, FootprintKind::Knob},
    {40, programTop + 80, 26, 26, FootprintKind::Knob},
    {75, programTop + 80, 26, 26, FootprintKind::Knob},
    {402, programTop + 40, 8, 60, FootprintKind::Meter},
    {414, programTop + 40, 8, 60, FootprintKind::Meter},
    {430, programTop + 40, 10, 90, FootprintKind::Meter},
    {444, programTop + 40, 10, 90, FootprintKind::Meter},
    {480, programTop + 40, 60, 7, FootprintKind::Meter},
    {480, programTop + 52, 60, 7, FootprintKind::Meter},
    {480, programTop + 70, 66, 7, FootprintKind::Meter},
    {480, programTop + 82, 66, 7, FootprintKind::Meter},
    {480, programTop + 100, 80, 7, FootprintKind::Meter},
    {480, programTop + 112, 80, 7, FootprintKind::Meter},
    {580, programTop + 40, 39, 20, FootprintKind::Display},
    {580, programTop + 72, 36, 20, FootprintKind::Display},
    {580, programTop + 104, 24, 20, FootprintKind::Display},
    {645, programTop + 40, 36, 20, FootprintKind::Display},
    {645, programTop + 72, 36, 20, FootprintKind::Display},
    {645, programTop + 104, 24, 20, FootprintKind::Display},
    {40, programTop + 240, 200, 16, FootprintKind::Display},
    {260, programTop + 240, 140, 16, FootprintKind::Display},
    {30, programTop + 160, 680, 76, FootprintKind::Group},
};

constexpr panel::PanelLabel transportLabels[] = {
    {170, transportTop + 8, "TRANSPORT", 9, LabelAlignment::Centre},
    {560, transportTop + 8, "TRIGGER PADS", 9, LabelAlignment::Centre},
    {712, transportTop + 121, "PROGRAM ARTWORK", 9, LabelAlignment::Right},
};
constexpr panel::PanelFootprint transportFootprints[] = {
    {410, transportTop + 24, 300, 80, FootprintKind::Group},
    {40, transportTop + 84, 36, 20, FootprintKind::Display},
    {90, transportTop + 84, 24, 20, FootprintKind::Display},
    {140, transportTop + 84, 12, 12, FootprintKind::Lamp},
    {160, transportTop + 84, 12, 12, FootprintKind::Lamp},
};

QImage paintGallery()
{
    QImage image(panel::rackWidth, galleryHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.drawImage(0, defaultsTop,
                      PanelPainter::paint({panel::rackWidth, programTop, "Controls", defaultsLabels,
                                           defaultsFootprints}));
    // Footprints and labels of the lower panels are given in gallery
    // coordinates; shift them onto each panel's own image.
    auto shifted = [](std::span<const panel::PanelLabel> labels, int top)
    {
        std::vector<panel::PanelLabel> moved(labels.begin(), labels.end());
        for (auto& label : moved)
            label.y -= top;
        return moved;
    };
    auto shiftedFootprints = [](std::span<const panel::PanelFootprint> footprints, int top)
    {
        std::vector<panel::PanelFootprint> moved(footprints.begin(), footprints.end());
        for (auto& footprint : moved)
            footprint.y -= top;
        return moved;
    };
    const auto programLabelList = shifted(programLabels, programTop);
    const auto programFootprintList = shiftedFootprints(programFootprints, programTop);
    painter.drawImage(
        0, programTop,
        PanelPainter::paint({panel::rackWidth, transportTop - programTop,
                             "Mixer  Effect  Instrument", programLabelList, programFootprintList}));
    const auto transportLabelList = shifted(transportLabels, transportTop);
    const auto transportFootprintList = shiftedFootprints(transportFootprints, transportTop);
    painter.drawImage(0, transportTop,
                      PanelPainter::paint({panel::rackWidth, galleryHeight - transportTop, "",
                                           transportLabelList, transportFootprintList}));
    return image;
}
} // namespace

GalleryWindow::GalleryWindow()
{
    setWindowTitle(QStringLiteral("Corvane control gallery"));
    setFixedSize(panel::rackWidth, galleryHeight);
    m_background = QPixmap::fromImage(paintGallery());

    buildDefaultsPanel();
    buildProgramPanel();
    buildTransportPanel();

    m_status.create(this, QRect(40, transportTop + 108, 360, 16));
    m_status.SetTextFont(QStringLiteral("Tahoma"), 13, 700, skinkit::rgb(0x08, 0xCE, 0xDE));
    m_status.SetText(QStringLiteral("Try the controls: commands show here"));

    for (CLevel* level : m_levels)
        m_driver.addLevel(level);
    m_driver.start();
    connect(&m_signalTimer, &QTimer::timeout, this, &GalleryWindow::feedMeters);
    m_signalTimer.start(30);
}

GalleryWindow::~GalleryWindow() = default;

void GalleryWindow::buildDefaultsPanel()
{
    auto& knob = add<CKnob>(0, 100);
    knob.create(this, QRect(40, 42, 1, 1), 1);
    knob.setparentwnd(this);
    auto& slider = add<CMSlider>(100, 0);
    slider.create(this, QRect(90, 40, 1, 1), 2);
    slider.setvalue(70);
    for (int meter = 0; meter < 2; ++meter)
    {
        auto& level = add<CLevel>();
        level.create(this, QRect(150 + meter * 16, 40, 1, 1), 0);
        if (meter == 1)
            level.setledladderstyle(true, 10);
        m_levels.push_back(&level);
    }
    for (int meter = 0; meter < 2; ++meter)
    {
        auto& vu = add<CVUMeter>();
        vu.create(this, QRect(200 + meter * 92, 40, 1, 1), 0);
        m_vuMeters.push_back(&vu);
    }
    auto& button = add<CMyButton>(false);
    button.create(this, QRect(400, 40, 1, 1), 3);
    auto& toggle = add<CMyButton>(true);
    toggle.create(this, QRect(445, 40, 1, 1), 4);
    toggle.SetStatus(true);
    auto& box = add<CCheckBox>();
    box.create(this, QRect(400, 80, 170, 1), 5);
    auto& led = add<CLED>(42, 0, 999);
    led.create(this, QRect(400, 132, 1, 1), 6);
    led.setnumblank(3);
    led.m_bReadOnly = false;
    auto& lamp = add<CLEDLight>();
    lamp.create(this, QRect(474, 136, 1, 1), 0);
    lamp.setlightened(true);
    auto& combo = add<CMCombo>();
    combo.create(this, QRect(520, 40, 148, 1), 7);
    combo.setitems(
        QStringList{"None", "MP3 Player", "CD Player", "VSTi", "Loop Player", "SoundFX"});
    combo.setitemindex(1);
}

void GalleryWindow::buildProgramPanel()
{
    const PictureModule program = PictureModule::corvane();
    const int top = programTop;
    struct KnobPlace
    {
        int x;
        int y;
        int picture;
        int frames;
        int value;
    };
    for (const KnobPlace place : {KnobPlace{40, 40, 134, 66, 30}, KnobPlace{110, 40, 134, 66, 70},
                                  KnobPlace{145, 39, 139, 45, 10}, KnobPlace{185, 38, 218, 49, 80},
                                  KnobPlace{40, 80, 134, 66, 0}, KnobPlace{75, 80, 134, 66, 100}})
    {
        auto& knob = add<CKnob>(0, 100);
        knob.LoadPicture(program, place.picture, place.frames);
        knob.create(this, QRect(place.x, top + place.y, 1, 1), 10);
        knob.setparentwnd(this);
        knob.setvalue(place.value);
    }
    for (int fader = 0; fader < 2; ++fader)
    {
        auto& slider = add<CMSlider>(110, 0);
        slider.LoadPicture(program, 137, 138);
        slider.create(this, QRect(240 + fader * 34, top + 36, 1, 1), 11);
        slider.setvalue(fader == 0 ? 80 : 30);
    }
    for (int band = 0; band < 4; ++band)
    {
        auto& slider = add<CMSlider>(300, 0);
        slider.LoadPicture(program, 191, 192);
        slider.create(this, QRect(318 + band * 20, top + 36, 1, 1), 12);
        slider.setvalue(150 + (band - 1) * 60);
    }
    struct MeterPlace
    {
        int x;
        int y;
        int picture;
        bool vertical;
        int leds;
        int minDb;
    };
    for (const MeterPlace place :
         {MeterPlace{402, 40, 140, true, 5, -30}, MeterPlace{414, 40, 140, true, 5, -30},
          MeterPlace{430, 40, 141, true, 9, -40}, MeterPlace{444, 40, 141, true, 9, -40},
          MeterPlace{480, 40, 143, false, 6, -15}, MeterPlace{480, 52, 143, false, 6, -15},
          MeterPlace{480, 70, 158, false, 6, -15}, MeterPlace{480, 82, 158, false, 6, -15},
          MeterPlace{480, 100, 167, false, 8, -15}, MeterPlace{480, 112, 167, false, 8, -15}})
    {
        auto& level = add<CLevel>();
        level.LoadPicture(program, place.picture);
        level.setvertical(place.vertical);
        level.setledladderstyle(true, static_cast<unsigned>(place.leds));
        level.setmindb(place.minDb);
        level.create(this, QRect(place.x, top + place.y, 1, 1), 0);
        m_levels.push_back(&level);
    }
    struct LedPlace
    {
        int x;
        int y;
        int picture;
        int cells;
        int places;
        int value;
    };
    for (const LedPlace place :
         {LedPlace{580, 40, 135, 13, 3, 128}, LedPlace{580, 72, 156, 11, 3, 100},
          LedPlace{580, 104, 163, 11, 2, 7}, LedPlace{645, 40, 182, 12, 3, 59},
          LedPlace{645, 72, 217, 11, 3, -5}, LedPlace{645, 104, 165, 11, 2, 42}})
    {
        auto& led = add<CLED>(0, -999, 999);
        led.LoadPicture(program, place.picture, place.cells);
        led.setnumblank(place.places);
        led.m_bReadOnly = false;
        led.create(this, QRect(place.x, top + place.y, 1, 1), 13);
        led.setparentwnd(this);
        led.setvalue(place.value);
    }
    int lampX = 40;
    for (int picture : {133, 142, 157, 166, 185})
    {
        for (int lit = 0; lit < 2; ++lit)
        {
            auto& lamp = add<CLEDLight>();
            lamp.LoadPicture(program, picture);
            lamp.create(this, QRect(lampX, top + 166, 1, 1), 0);
            lamp.setlightened(lit == 1);
            lampX += 16;
        }
        lampX += 6;
    }
    struct SwitchPlace
    {
        int x;
        int picture;
        bool on;
    };
    for (const SwitchPlace place :
         {SwitchPlace{40, 145, true}, SwitchPlace{100, 149, true}, SwitchPlace{124, 131, false},
          SwitchPlace{150, 150, true}, SwitchPlace{186, 151, false}, SwitchPlace{214, 162, true},
          SwitchPlace{242, 183, false}, SwitchPlace{290, 186, true}, SwitchPlace{316, 187, false},
          SwitchPlace{342, 188, false}, SwitchPlace{368, 189, false}})
    {
        auto& button = add<CMyButton>(true);
        button.LoadPicture(program, place.picture);
        button.create(this, QRect(place.x, top + 206, 1, 1), 20);
        button.setparentwnd(this);
        button.SetStatus(place.on);
    }
    auto& reset = add<CMyButton>(false);
    reset.LoadPicture(program, 190);
    reset.create(this, QRect(400, top + 206, 1, 1), 21);
    for (int preset = 0; preset < 2; ++preset)
    {
        auto& box = add<CCheckBox>();
        box.LoadPicture(program, 199);
        box.create(this, QRect(450, top + 170 + preset * 20, 90, 1), 1500 + preset);
        box.setTextColor(skinkit::rgb(0xC8, 0xC8, 0xC0));
        box.settext(QStringLiteral("Preset %1").arg(preset + 1));
        box.setchecked(preset == 0);
    }
    auto& combo = add<CMCombo>();
    combo.create(this, QRect(560, top + 170, 140, 1), 155);
    combo.setitems(QStringList{"None", "JACK", "ALSA: hw:0", "Virtual Device"});
    combo.setitemindex(1);

    auto& name = add<CMStatic>();
    name.create(this, QRect(40, top + 240, 200, 16));
    name.SetTextFont(QStringLiteral("Tahoma"), 13, 700, skinkit::rgb(0x08, 0xCE, 0xDE));
    name.SetText(QStringLiteral("No VST plug-in"));
    auto& preset = add<CMStatic>();
    preset.create(this, QRect(260, top + 240, 140, 16));
    preset.SetTextFont(QStringLiteral("Tahoma"), 13, 400, skinkit::rgb(0x53, 0x53, 0x53));
    preset.SetText(QStringLiteral("preset"));
}

void GalleryWindow::buildTransportPanel()
{
    const PictureModule program = PictureModule::corvane();
    const int top = transportTop;
    int x = 40;
    for (int picture : {160, 164, 168, 169, 181, 194, 195, 159, 161})
    {
        auto& button = add<CMyButton>(false);
        button.LoadPicture(program, picture);
        button.create(this, QRect(x, top + 26, 1, 1), picture);
        button.setparentwnd(this);
        x += 32;
    }
    auto& playStop = add<CMyButton>(true);
    playStop.LoadPicture(program, 197);
    playStop.create(this, QRect(40, top + 54, 1, 1), 870);
    auto& load = add<CMyButton>(false);
    load.LoadPicture(program, 220);
    load.create(this, QRect(84, top + 55, 1, 1), 660);
    auto& push = add<CMyButton>(false);
    push.LoadPicture(program, 130);
    push.create(this, QRect(116, top + 55, 1, 1), 850);

    auto& minutes = add<CLED>(3, 0, 999);
    minutes.LoadPicture(program, 165, 11);
    minutes.setnumblank(3);
    minutes.create(this, QRect(40, top + 84, 1, 1), 0);
    auto& seconds = add<CLED>(7, 0, 99);
    seconds.LoadPicture(program, 165, 11);
    seconds.m_bLeadingZeros = true;
    seconds.setnumblank(2);
    seconds.create(this, QRect(90, top + 84, 1, 1), 0);
    seconds.setvalue(7);
    for (int lamp = 0; lamp < 2; ++lamp)
    {
        auto& light = add<CLEDLight>();
        light.LoadPicture(program, 157);
        light.create(this, QRect(140 + lamp * 20, top + 84, 1, 1), 0);
        light.setlightened(lamp == 0);
    }

    for (int pad = 0; pad < 8; ++pad)
    {
        auto& button = add<CMyButton>(false);
        // The third pad is the edited one.
        button.LoadPicture(program, pad == 2 ? 209 + pad : 201 + pad);
        button.create(this, QRect(420 + (pad % 4) * 72, top + 30 + (pad / 4) * 38, 1, 1),
                      550 + pad);
        button.setparentwnd(this);
    }
}

void GalleryWindow::feedMeters()
{
    // A programme-like level: a slow swell with a faster flutter, per meter.
    m_signalPhase += 0.03;
    for (size_t index = 0; index < m_levels.size(); ++index)
    {
        const double phase = m_signalPhase * (1.0 + 0.13 * index) + index;
        const double db = -22.0 + 16.0 * std::sin(phase) + 6.0 * std::sin(phase * 5.3);
        m_levels[index]->setdb(static_cast<float>(db));
    }
    for (size_t index = 0; index < m_vuMeters.size(); ++index)
    {
        const double phase = m_signalPhase * (0.7 + 0.2 * index);
        m_vuMeters[index]->setdb(
            static_cast<float>(-9.0 + 8.0 * std::sin(phase) + 2.0 * std::sin(phase * 4.1)));
    }
}

void GalleryWindow::showStillLevels()
{
    m_signalTimer.stop();
    m_driver.stop();
    const float levels[] = {-8.0f, -14.0f, -6.0f, -13.0f, -21.0f, -3.0f,
                            -9.0f, -4.0f,  -7.0f, -10.0f, -2.0f,  -5.0f};
    for (size_t index = 0; index < m_levels.size(); ++index)
        m_levels[index]->setdb(levels[index % std::size(levels)]);
    m_vuMeters[0]->setdb(-4.0f);
    m_vuMeters[1]->setdb(1.0f);
}

void GalleryWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

void GalleryWindow::OnCommand(int commandId, QWidget* notifyHandle)
{
    m_status.SetText(QStringLiteral("Command %1%2")
                         .arg(commandId)
                         .arg(notifyHandle == this
                                  ? QStringLiteral(" (handle: gallery)")
                                  : (notifyHandle != nullptr ? QStringLiteral(" (handle: control)")
                                                             : QString())));
}
