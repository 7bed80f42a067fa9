#pragma once

#include <QString>

// One running instance per user: a lock file in the per-user runtime folder,
// named after the executable. The lock names the process that holds it, so a
// lock left by a process that has died (a crash) is taken over.
namespace InstanceLock {

// Takes the lock for this process when it is free: start-up does so first,
// so that an instance counts as running from its start, long before the
// login dialog refuses a second one.
void Take();

// Takes the lock for this process unless it holds it already. True when
// another running instance holds it. A lock that cannot be taken for another
// reason (no runtime folder, no rights) does not stop the program.
bool AnotherInstanceRunning();

// Gives the lock back (at the end of the program).
void Release();

// The lock file of this program for this user.
QString LockFilePath();

} // namespace InstanceLock
