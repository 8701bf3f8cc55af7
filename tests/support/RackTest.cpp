#include "support/RackTest.h"

#include "app/RackUnitTable.h"

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
