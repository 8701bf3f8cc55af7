#include "support/PanelChecks.h"

#include "skinkit/CCheckBox.h"
#include "skinkit/CKnob.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CLevel.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CMSlider.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CVUMeter.h"

#include <QTest>

#include <chrono>

namespace testkit
{

void expectControlsOnTheirRows(std::span<const panel::PanelControl> rows,
                               std::span<const PanelControlRef> controls)
{
    ASSERT_EQ(rows.size(), controls.size()) << "one control per row";
    for (size_t index = 0; index < rows.size(); ++index)
    {
        const panel::PanelControl& row = rows[index];
        SkinControl* control =
            std::visit([](auto* typed) -> SkinControl* { return typed; }, controls[index]);
        SCOPED_TRACE(testing::Message() << "row " << index);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->pos(), QPoint(row.footprint.x, row.footprint.y));
        EXPECT_EQ(control->childId(), row.commandId);
        EXPECT_GT(control->width(), 0);
        EXPECT_GT(control->height(), 0);
        // A selector fills its printed recess exactly (its border included).
        if (std::holds_alternative<CMCombo*>(controls[index]))
        {
            EXPECT_EQ(control->width(), row.footprint.width);
        }
    }
}

bool waitFor(const std::function<bool()>& done, int milliseconds)
{
    // One call a step: a condition may act (send a message) and must not run twice.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QTest::qWait(10);
    }
    return true;
}

} // namespace testkit
