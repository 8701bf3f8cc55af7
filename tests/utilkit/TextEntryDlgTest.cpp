#include "utilkit/TextEntryDlg.h"
#include "support/RackTest.h"

#include <QApplication>
#include <QInputDialog>
#include <QTimer>
#include <gtest/gtest.h>

namespace
{

// Answers the prompt that is about to open: types text and confirms or
// cancels; returns the text the prompt opened with.
QString answerPrompt(CTextEntryDlg& prompt, const QString& initial, const QString& typed,
                     bool confirm, int& result)
{
    QString seenInitial;
    QTimer::singleShot(0,
                       [&]
                       {
                           auto* dialog =
                               qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
                           ASSERT_NE(dialog, nullptr);
                           seenInitial = dialog->textValue();
                           dialog->setTextValue(typed);
                           confirm ? dialog->accept() : dialog->reject();
                       });
    result =
        prompt.Show(nullptr, "Corvane - VSTi", "Please input your preset name:", initial, false);
    return seenInitial;
}

TEST(TextEntryDlg, ReturnsOneAndTheTextOnlyWhenConfirmed)
{
    CTextEntryDlg prompt;
    int result = -1;
    EXPECT_EQ(answerPrompt(prompt, "Preset 3", "Warm Pad", true, result), "Preset 3");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(prompt.GetText(), "Warm Pad");

    answerPrompt(prompt, "x", "Discarded", false, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(prompt.GetText(), "Warm Pad") << "a cancelled prompt keeps the last text";
}

} // namespace
