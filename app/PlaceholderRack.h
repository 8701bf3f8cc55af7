#pragma once

// PlaceholderRack: a unit whose panel is not built yet. It shows its
// background and name, processes nothing, and moves like any other unit.

#include "app/RackUnit.h"

class PlaceholderRack : public CRackUnit
{
    Q_OBJECT

public:
    PlaceholderRack(int backgroundId, const QString& name, int heightInSlots,
                    QWidget* parent = nullptr);

    void CreateControls() override {}
    // Audio thread: writes silence into the outputs it is given.
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
};
