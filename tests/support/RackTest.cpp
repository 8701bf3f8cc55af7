#include "support/RackTest.h"

#include "app/RackUnitTable.h"

#include <QWheelEvent>
#include <QWidget>

namespace testkit
{

QApplication& application()
{
    static int argumentCount = 1;
    static char argumentZero[] = "corvane-test";
    static char* arguments[] = {argumentZero, nullptr};
    static QApplication* instance = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (instance == nullptr)
        instance = new QApplication(argumentCount, arguments);
    return *instance;
}

bool turnWheel(QWidget* widget, int angleDelta, int notches)
{
    bool accepted = false;
    const QPointF middle(widget->width() / 2.0, widget->height() / 2.0);
    for (int notch = 0; notch < notches; ++notch)
    {
        QWheelEvent event(middle, widget->mapToGlobal(middle), QPoint(), QPoint(0, angleDelta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &event);
        accepted = event.isAccepted();
    }
    return accepted;
}

void RackTest::SetUp()
{
    ASSERT_TRUE(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
}

std::string RackTest::settingsPath() const
{
    return (m_config.path() + "/corvane/" + rack::kSettingsFileName).toStdString();
}

} // namespace testkit
