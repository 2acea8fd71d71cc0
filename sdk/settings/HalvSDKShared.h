// The applet settings module: the settings path and the settings file.
#ifndef HALV_SDK_SHARED_H
#define HALV_SDK_SHARED_H

#include <CoreFoundation/CoreFoundation.h>

// Sets the settings path from the user's data folder; called by a successful
// Init. Always succeeds.
void HalvSetConfigFilePath(CFStringRef userDirectory);

#endif
