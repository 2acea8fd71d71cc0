// KeshVistrel: reads the add-on's strip from the screen and puts the matching
// page on the companion display. KeshVistrel --help tells its options.
#include "desktop/ApplicationMain.h"

int main(int argc, char** argv) {
    return kv::runKeshVistrel(argc, argv);
}
