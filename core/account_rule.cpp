// The one rule for an account the updaters may use: every program that asks
// whether the stored user name and password can be sent asks here.
#include "tallib.h"

#include <string.h>

namespace {

// The service refuses shorter names and passwords; sending one only earns
// a "badauth" and, repeated, an abuse block.
const size_t kShortestAccountText = 3;

bool LongEnough(const char *text) { return text && strnlen(text, kShortestAccountText) >= kShortestAccountText; }

} // namespace

int TALAPI Account_IsUsable(const char *userName, const char *password)
{
    return LongEnough(userName) && LongEnough(password) ? 1 : 0;
}
