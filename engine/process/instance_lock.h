// The user-process updater's single-instance lock: one per account, which
// no other account can hold.
#pragma once

#include "scoped.h"

// Takes this account's updater lock for the life of the process. Empty
// with heldElsewhere set when another updater of this account holds it.
// Empty without it when the lock could not be had at all, or when the
// name was taken by an object another account made (logged once): the
// updater then runs without it, and the window check keeps one per session.
ScopedHandle TakeInstanceLock(bool &heldElsewhere);
