#include "WebPages.h"

#include "AsciiText.h"
#include "WebTemplates.h"

#include <cctype>
#include <string_view>

namespace kesh::host {

namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size()) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

std::string appletSection(const AppletInfo& info) {
    const std::string base = "/applets/" + urlEncode(info.key);
    std::string html = "<section class=\"applet\"><h2>";
    if (info.hasIcon) {
        html += "<img class=\"icon\" alt=\"\" src=\"" + base + "/icon.png\"> ";
    }
    html += htmlEscape(info.friendlyName) + " <small>" + htmlEscape(info.identifier) + "</small></h2>";
    html += "<p>" +
            (info.connections > 0 ? std::to_string(info.connections) + " connection(s)"
                                  : std::string("<span class=\"muted\">not connected</span>")) +
            ". Shown page: " +
            (info.shownPage.empty() ? std::string("none")
                                    : "<a href=\"" + base + "/\">" + htmlEscape(info.shownPage) + "</a>") +
            "</p><div class=\"table\"><table><tr><th>File</th><th>Bytes</th><th>Type</th></tr>";
    for (const auto& file : info.files) {
        html += "<tr><td><a href=\"" + htmlEscape(fileUrl(info.key, info.fileCapability, file.name)) + "\">" +
                htmlEscape(file.name) + "</a></td><td>" + std::to_string(file.size) + "</td><td>" +
                htmlEscape(file.fileType) + "</td></tr>";
    }
    return html + "</table></div></section>";
}

std::string addressLink(const std::string& url) {
    return "<a class=\"address\" href=\"" + htmlEscape(url) + "\">" + htmlEscape(url) + "</a>";
}

// Where to open the display: a code for a phone's camera when a phone can reach it.
std::string shareSection(const DisplayAddresses& addresses) {
    if (!addresses.onNetwork) {
        return "<section class=\"share\"><div><p>The display is served to this computer only, at " +
               addressLink(addresses.localUrl) +
               ".</p><p class=\"others\">To open it on a phone or tablet, start <code>kesh-host --lan</code>."
               "</p></div></section>";
    }
    std::string others;
    for (const auto& url : addresses.addresses) {
        if (url != addresses.url) {
            others += "<br>" + addressLink(url);
        }
    }
    return "<section class=\"share\"><img src=\"/address.png\" alt=\"QR code of the display's address\"><div>"
           "<p>Open the display on a phone or tablet on the same network: scan this code, or open</p><p>" +
           addressLink(addresses.url) + "</p>" +
           (others.empty() ? "" : "<p class=\"others\">Also at" + others + "</p>") + "</div></section>";
}

// Where the script goes: after a leading doctype (so the page keeps its
// rendering mode), else first.
std::size_t scriptPosition(const std::string& html) {
    std::size_t start = html.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < html.size() && std::isspace(static_cast<unsigned char>(html[start]))) {
        ++start;
    }
    const std::string opening = asciiLower(std::string_view(html).substr(start, 9));
    const std::size_t close = html.find('>', start);
    return opening == "<!doctype" && close != std::string::npos ? close + 1 : 0;
}

} // namespace

std::string htmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string urlEncode(const std::string& text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string fileUrl(const std::string& appletKey, const std::string& capability,
                    const std::string& fileName) {
    return "/applets/" + urlEncode(appletKey) + "/files/" + capability + "/" + urlEncode(fileName);
}

std::string shownPageUrl(const DisplayChange& page) {
    return fileUrl(page.appletKey, page.fileCapability, page.page) + "?v=" + std::to_string(page.pageVersion);
}

std::string renderDisplayPage(const std::string& followKey, const std::string& firstPageUrl) {
    std::string page = replaceAll(kDisplayPageTemplate, "{{FOLLOW}}", htmlEscape(followKey));
    return replaceAll(page, "{{FIRST_PAGE}}",
                      htmlEscape(firstPageUrl.empty() ? "about:blank" : firstPageUrl));
}

std::string renderOverviewPage(const std::vector<AppletInfo>& applets, const DisplayAddresses& addresses) {
    std::string sections =
        applets.empty() ? "<section><p class=\"muted\">No applet has registered yet.</p></section>" : "";
    for (const auto& info : applets) {
        sections += appletSection(info);
    }
    return replaceAll(replaceAll(kOverviewPageTemplate, "{{SHARE}}", shareSection(addresses)), "{{APPLETS}}",
                      sections);
}

std::string renderTokenNeededPage() {
    return kTokenPageTemplate;
}

std::string withFrameScript(const std::string& html, std::uint64_t edits) {
    const std::string script = replaceAll(kFrameScriptTemplate, "{{EDITS}}", std::to_string(edits));
    std::string page = html;
    page.insert(scriptPosition(html), script);
    return page;
}

} // namespace kesh::host
