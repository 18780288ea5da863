// The texts the windows share live with the core, since the terminal mode shows them too.
#pragma once

#include "lib/Messages.h"
