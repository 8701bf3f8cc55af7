#include "mixer/MixerGainLaws.h"

#include <cmath>

MixerGainLaws::MixerGainLaws()
{
    // Fader law, three segments that deliberately do not join (the gain jumps
    // between positions 29 and 30). The constants are written the way the
    // law has always been computed, so the tables match it to the last bit:
    // below 30 a straight line from silence towards -26.67 dB
    // (10^(-4/3) x p / 30); 30..100 a third of a dB per step up to unity;
    // above 100 a quarter of a dB per step (+2.5 dB at 110).
    for (int position = 0; position <= kHighestFaderPosition; ++position)
    {
        double gain = 0.0;
        if (position < 30)
            gain = std::pow(10.0, -1.3333333333333335) * position * 0.03333333333333333;
        else if (position <= 100)
            gain = std::pow(10.0, (position - 100) * 0.3333333333333333 * 0.05);
        else
            gain = std::pow(10.0, (position - 100) * 0.25 * 0.05);
        m_faderGains[position] = static_cast<float>(gain);
    }

    // Trim law: the knob's value in dB (0.05 = 1/20, amplitude dB).
    for (int gainDb = kLowestTrimDb; gainDb <= kHighestTrimDb; ++gainDb)
        m_trimGains[gainDb - kLowestTrimDb] = static_cast<float>(std::pow(10.0, gainDb * 0.05));

    // Pan law: the far side fades linearly to silence (0.02 = 1/50 per step
    // from the centre); the near side stays at unity.
    for (int pan = 0; pan <= kHighestPanPosition; ++pan)
    {
        m_panLeftGains[pan] = pan > 50 ? static_cast<float>((100 - pan) * 0.02) : 1.0f;
        m_panRightGains[pan] = pan < 50 ? static_cast<float>(pan * 0.02) : 1.0f;
    }
}
