#pragma once

// Corvane's own window messages, as Qt event types at their fixed offsets
// from QEvent::User. Posted (queued) unless a comment says otherwise.

#include <QEvent>

class CRackUnit;

namespace rack
{

constexpr QEvent::Type kMidiLearnMessage = static_cast<QEvent::Type>(QEvent::User + 0x14B);
constexpr QEvent::Type kConfirmExit = static_cast<QEvent::Type>(QEvent::User + 0x14C);
constexpr QEvent::Type kMidiLearnBegin = static_cast<QEvent::Type>(QEvent::User + 0x14D);
constexpr QEvent::Type kMidiLearnEnd = static_cast<QEvent::Type>(QEvent::User + 0x14E);
constexpr QEvent::Type kMidiPortChanged = static_cast<QEvent::Type>(QEvent::User + 0x14F);
constexpr QEvent::Type kRackMove = static_cast<QEvent::Type>(QEvent::User + 0x150);

// Context-menu command ids of a rack unit.
constexpr int ID_RACK_TITLE = 1020;
constexpr int ID_RACK_SEPARATOR = 1021;
constexpr int ID_RACK_MOVEUP = 1022;
constexpr int ID_RACK_MOVEDOWN = 1023;

// Posted by a unit to its parent (the rack view) to move the unit.
class RackMoveEvent : public QEvent
{
public:
    RackMoveEvent(CRackUnit* unit, bool up) : QEvent(kRackMove), m_unit(unit), m_up(up) {}
    CRackUnit* unit() const { return m_unit; }
    bool up() const { return m_up; }

private:
    CRackUnit* m_unit;
    bool m_up;
};

} // namespace rack
