// The display page, the overview page and the script added to a shown page,
// built into the program from host/web/.
#pragma once

namespace kesh::host {
extern const char* const kDisplayPageTemplate;
extern const char* const kOverviewPageTemplate;
extern const char* const kFrameScriptTemplate;
} // namespace kesh::host
