#include "utilkit/SimpleComp.h"

SimpleComp::SimpleComp() = default;

void SimpleComp::setSampleRate(double sampleRate)
{
    m_attack.setSampleRate(sampleRate);
    m_release.setSampleRate(sampleRate);
}
