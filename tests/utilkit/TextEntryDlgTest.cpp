#include "utilkit/TextEntryDlg.h"
#include "support/RackTest.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace
{

// Answers the prompt that is about to open: types text and confirms or cancels.
void answerPrompt(const QString& text, bool confirm, QString* seenInitial)
{
    QTimer::singleShot(0,
                       [=]
                       {
                           auto* dialog =
                               qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
                           ASSERT_NE(dialog, nullptr);
                           *seenInitial = dialog->textValue();
                           dialog->setTextValue(text);
                           if (confirm)
                               dialog->accept();
                           else
                               dialog->reject();
                       });
}

TEST(TextEntryDlg, ReturnsOneAndTheTextOnlyWhenConfirmed)
{
    testkit::application();

    CTextEntryDlg prompt;
    QString initial;
    answerPrompt("Warm Pad", true, &initial);
    EXPECT_EQ(
        prompt.Show(nullptr, "Corvane - VSTi", "Please input your preset name:", "Preset 3", false),
        1);
    EXPECT_EQ(initial, "Preset 3");
    EXPECT_EQ(prompt.GetText(), "Warm Pad");

    answerPrompt("Discarded", false, &initial);
    EXPECT_EQ(prompt.Show(nullptr, "Corvane - VSTi", "Please input your preset name:", "x", false),
              0);
    EXPECT_EQ(prompt.GetText(), "Warm Pad") << "a cancelled prompt keeps the last text";
}

} // namespace
