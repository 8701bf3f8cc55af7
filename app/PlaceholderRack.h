#pragma once

// PlaceholderRack: a unit whose panel is not built yet. It shows its
// background and name from the registry, processes nothing, and moves like
// any other unit.

#include "app/RackUnit.h"
#include "app/RackUnitTable.h"

class PlaceholderRack : public CRackUnit
{
    Q_OBJECT

public:
    PlaceholderRack(rack::RackUnitIndex index, QWidget* parent = nullptr);

    void CreateControls() override {}
    // Audio thread: does nothing. The buffers it is handed belong to its
    // caller: the mixer clears a source's channel buffers before the pull, and
    // the post-processor's buffers are the device outputs, filtered in place,
    // so writing silence here would mute the whole rack.
    void Process(float*[], float*[], long, long, long) override {}
};
