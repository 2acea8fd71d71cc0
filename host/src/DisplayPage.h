// The display page's HTML, built into the program from host/web/display.html.
#pragma once

namespace kesh::host {
extern const char* const kDisplayPageTemplate;
}
