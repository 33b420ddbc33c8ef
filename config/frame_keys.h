// The configuration file's names as the frame uses them. config_keys.h
// names the stored status values with the same names config_app.h gives
// the panel's status codes; inside a namespace of their own the two never
// meet. Include this instead of config_keys.h beside config_app.h.
#pragma once

namespace keys {
#include "config_keys.h"
}
