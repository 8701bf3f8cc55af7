#include "app/RackUnit.h"
#include "app/RackMessages.h"
#include "support/RackTest.h"

#include <QApplication>
#include <QMenu>
#include <gtest/gtest.h>

namespace
{

class SilentUnit : public CRackUnit
{
public:
    explicit SilentUnit(QWidget* parent) : CRackUnit(200, parent)
    {
        m_strName = "SoundFX";
        m_nHeight = 2;
    }
    void CreateControls() override {}
    void Process(float**, float**, long, long, long) override {}
};

// Stands in for the rack view: records the moves its units post.
class MoveRecorder : public QWidget
{
public:
    bool event(QEvent* event) override
    {
        if (event->type() == rack::kRackMove)
        {
            auto* move = static_cast<rack::RackMoveEvent*>(event);
            moves.emplace_back(move->unit(), move->up());
            return true;
        }
        return QWidget::event(event);
    }
    std::vector<std::pair<CRackUnit*, bool>> moves;
};

using RackUnitTest = testkit::RackTest;

TEST_F(RackUnitTest, SizedToItsBackgroundWithAContextMenuOfTitleAndMoves)
{
    MoveRecorder view;
    SilentUnit unit(&view);
    EXPECT_EQ(unit.height(), 2 * 69);
    EXPECT_EQ(unit.size(), unit.background().size());
    std::unique_ptr<QMenu> menu(unit.createContextMenu());
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]->text(), "SoundFX");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), "Move Up");
    EXPECT_EQ(actions[3]->text(), "Move Down");

    // Choosing an item posts the move to the view; the title does nothing.
    actions[0]->trigger();
    actions[2]->trigger();
    actions[3]->trigger();
    EXPECT_TRUE(view.moves.empty()) << "moves are posted, never sent";
    QCoreApplication::processEvents();
    ASSERT_EQ(view.moves.size(), 2u);
    EXPECT_EQ(view.moves[0], std::make_pair(static_cast<CRackUnit*>(&unit), true));
    EXPECT_EQ(view.moves[1], std::make_pair(static_cast<CRackUnit*>(&unit), false));
}

} // namespace
