#include "app/SingleInstance.h"

#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockFilePath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/Corvane");
}

bool SingleInstance::acquire()
{
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // A lock whose owner is gone is removed by tryLock; a live owner keeps it.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

bool SingleInstance::acquireOrTellUser()
{
    if (acquire())
        return true;
    QMessageBox::critical(nullptr, QStringLiteral("Corvane"),
                          QStringLiteral("Corvane is already running"));
    return false;
}
