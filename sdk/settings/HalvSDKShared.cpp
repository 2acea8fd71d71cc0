#include "HalvSDKShared.h"

void HalvSetConfigFilePath(CFStringRef) {}
