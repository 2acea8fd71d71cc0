// The exported interface of the SDK.
#include "HalvorinKeshControl.h"

extern "C" {

const unsigned char HalvorinKeshControlVersionString[] =
    "@(#)PROGRAM:HalvorinKeshControl  PROJECT:HalvorinKeshControl-1\n";
const double HalvorinKeshControlVersionNumber = 1.0;

} // extern "C"
