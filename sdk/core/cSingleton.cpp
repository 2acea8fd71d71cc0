#include "core/cSingleton.h"

#include "core/cSDKServer.h"

// The server is the one class the library keeps as a singleton.
template class cSingleton<cSDKServer>;
