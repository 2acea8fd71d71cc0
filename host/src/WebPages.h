// The pages the display server writes, and the addresses in them.
#pragma once

#include "AppletStore.h"
#include "HostState.h"

#include <string>
#include <vector>

namespace kesh::host {

std::string htmlEscape(const std::string& text);
std::string urlEncode(const std::string& text);

// Where a stored file is served: the applet's file capability in the path
// lets the files of one applet refer to each other by relative addresses.
std::string fileUrl(const std::string& appletKey, const std::string& capability, const std::string& fileName);

// The address of an applet's shown page, with its version (so a browser never shows an old one).
std::string shownPageUrl(const DisplayChange& page);

// The display page, with the applet it follows ("" follows whichever applet
// last chose a page) and the address of the page to show first.
std::string renderDisplayPage(const std::string& followKey, const std::string& firstPageUrl);
// The overview: the display's address (with its QR code when a phone can
// open it) and the applets.
std::string renderOverviewPage(const std::vector<AppletInfo>& applets, const DisplayAddresses& addresses);
// What a page opened without the token says instead.
std::string renderTokenNeededPage();

// A shown page as served into the display: with the script that takes the
// live edits and reports taps, which knows that the page holds `edits` edits.
std::string withFrameScript(const std::string& html, std::uint64_t edits);

} // namespace kesh::host
