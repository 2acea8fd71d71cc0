// The display page, the overview page, the script added to a shown page, the
// page that asks for the token, the web app manifest and its icons, built
// into the program from host/web/ and packaging/icons/.
#pragma once

#include <optional>
#include <string_view>

namespace kesh::host {
extern const char* const kDisplayPageTemplate;
extern const char* const kOverviewPageTemplate;
extern const char* const kFrameScriptTemplate;
extern const char* const kTokenPageTemplate;
extern const char* const kManifestTemplate;

// An icon of the manifest by its file name ("kesh-vistrel-256.png"); nullopt for none.
std::optional<std::string_view> webIcon(std::string_view name);
} // namespace kesh::host
