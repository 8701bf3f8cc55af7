#pragma once

// SingleInstance: keeps a second Corvane from starting. The first instance
// holds a lock file named "Corvane" in the user's runtime folder; a stale
// lock left by a crashed instance is taken over.
//
// Threads: GUI thread, at start-up.

#include <QLockFile>
#include <QString>

#include <memory>

class SingleInstance
{
public:
    SingleInstance();
    ~SingleInstance();

    // False when another running Corvane holds the lock.
    bool acquire();
    // Takes the lock, or tells the user "Corvane is already running" and
    // returns false.
    bool acquireOrTellUser();

    static QString lockFilePath();

private:
    std::unique_ptr<QLockFile> m_lock;
};
