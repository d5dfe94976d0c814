// One copy of the program per Data folder: an exclusive lock on a file in the folder, held for as
// long as the program runs, so a second start on the same folder can see the first.
#pragma once

#include <QString>

class TInstanceLock {
public:
    enum TResult {
        Acquired,      // this copy holds the folder
        HeldElsewhere, // another process holds it: this copy must not touch the folder
        Unavailable,   // no lock file could be made (a missing or read-only folder): nothing to compare
    };

    TInstanceLock() = default;
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // Takes the lock on <DataFolder>instance.lock without waiting.
    TResult Acquire(const QString& DataFolder);
    void Release();

private:
    int FFd = -1;
};

// What a second copy tells the operator before it ends.
QString InstanceRunningText(const QString& DataFolder);
