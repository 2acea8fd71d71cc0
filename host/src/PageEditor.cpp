#include "PageEditor.h"

#include "AsciiText.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <vector>

namespace kesh::host {

namespace {

struct Attribute {
    std::string name; // lower case
    std::string value;
    std::size_t begin = 0; // span of the whole attribute in the page
    std::size_t end = 0;
};

struct Tag {
    std::string name; // lower case
    bool closing = false;
    bool selfClosing = false;
    std::size_t begin = 0;    // offset of '<'
    std::size_t end = 0;      // offset after '>'
    std::size_t attrsEnd = 0; // where a new attribute goes (before '/>' or '>')
    std::vector<Attribute> attributes;
};

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Attribute values as the browser sees them, for matching ids and classes.
std::string decodeEntities(std::string_view raw) {
    static const std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&apos;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < raw.size();) {
        bool replaced = false;
        if (raw[i] == '&') {
            for (const auto& [entity, c] : kEntities) {
                if (raw.substr(i, entity.size()) == entity) {
                    out += c;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out += raw[i++];
        }
    }
    return out;
}

bool isVoid(const std::string& name) {
    static const char* const kVoid[] = {"area",  "base", "br",   "col",   "embed",  "hr",    "img",
                                        "input", "link", "meta", "param", "source", "track", "wbr"};
    return std::any_of(std::begin(kVoid), std::end(kVoid), [&](const char* v) { return name == v; });
}

bool isRawText(const std::string& name) {
    return name == "script" || name == "style" || name == "textarea" || name == "title";
}

// Parses the tag starting at html[pos] == '<'; nullopt when it is not a tag.
std::optional<Tag> parseTag(std::string_view html, std::size_t pos) {
    Tag tag;
    tag.begin = pos;
    std::size_t i = pos + 1;
    if (i < html.size() && html[i] == '/') {
        tag.closing = true;
        ++i;
    }
    const std::size_t nameBegin = i;
    while (i < html.size() && (std::isalnum(static_cast<unsigned char>(html[i])) || html[i] == '-' ||
                               html[i] == ':' || html[i] == '_')) {
        ++i;
    }
    if (i == nameBegin || !std::isalpha(static_cast<unsigned char>(html[nameBegin]))) {
        return std::nullopt;
    }
    tag.name = asciiLower(html.substr(nameBegin, i - nameBegin));
    while (i < html.size()) {
        while (i < html.size() && isSpace(html[i])) {
            ++i;
        }
        if (i >= html.size()) {
            return std::nullopt;
        }
        if (html[i] == '>') {
            tag.attrsEnd = i;
            tag.end = i + 1;
            return tag;
        }
        if (html[i] == '/' && i + 1 < html.size() && html[i + 1] == '>') {
            tag.selfClosing = true;
            tag.attrsEnd = i;
            tag.end = i + 2;
            return tag;
        }
        Attribute attr;
        attr.begin = i;
        const std::size_t attrNameBegin = i;
        while (i < html.size() && !isSpace(html[i]) && html[i] != '=' && html[i] != '>' &&
               !(html[i] == '/' && i + 1 < html.size() && html[i + 1] == '>')) {
            ++i;
        }
        if (i == attrNameBegin) {
            ++i; // a stray character such as a lone '/': skip it
            continue;
        }
        attr.name = asciiLower(html.substr(attrNameBegin, i - attrNameBegin));
        std::size_t j = i;
        while (j < html.size() && isSpace(html[j])) {
            ++j;
        }
        if (j < html.size() && html[j] == '=') {
            ++j;
            while (j < html.size() && isSpace(html[j])) {
                ++j;
            }
            if (j < html.size() && (html[j] == '"' || html[j] == '\'')) {
                const std::size_t close = html.find(html[j], j + 1);
                if (close == std::string_view::npos) {
                    return std::nullopt;
                }
                attr.value = decodeEntities(html.substr(j + 1, close - j - 1));
                i = close + 1;
            } else {
                const std::size_t valueBegin = j;
                while (j < html.size() && !isSpace(html[j]) && html[j] != '>') {
                    ++j;
                }
                attr.value = decodeEntities(html.substr(valueBegin, j - valueBegin));
                i = j;
            }
        }
        attr.end = i;
        tag.attributes.push_back(std::move(attr));
    }
    return std::nullopt;
}

// All tags of the page in order; comments and raw text (scripts, styles) are skipped.
std::vector<Tag> tokenize(std::string_view html) {
    std::vector<Tag> tags;
    std::size_t pos = 0;
    while ((pos = html.find('<', pos)) != std::string_view::npos) {
        if (html.substr(pos, 4) == "<!--") {
            const std::size_t close = html.find("-->", pos + 4);
            pos = close == std::string_view::npos ? html.size() : close + 3;
            continue;
        }
        if (pos + 1 < html.size() && (html[pos + 1] == '!' || html[pos + 1] == '?')) {
            const std::size_t close = html.find('>', pos);
            pos = close == std::string_view::npos ? html.size() : close + 1;
            continue;
        }
        auto tag = parseTag(html, pos);
        if (!tag) {
            ++pos;
            continue;
        }
        pos = tag->end;
        const bool raw = !tag->closing && !tag->selfClosing && isRawText(tag->name);
        const std::string name = tag->name;
        tags.push_back(std::move(*tag));
        if (raw) {
            // Everything up to the matching end tag is text, even a '<'.
            std::size_t search = pos;
            while (true) {
                const std::size_t close = html.find("</", search);
                if (close == std::string_view::npos) {
                    return tags;
                }
                if (asciiLower(html.substr(close + 2, name.size())) == name) {
                    pos = close;
                    break;
                }
                search = close + 2;
            }
        }
    }
    return tags;
}

const Attribute* findAttribute(const Tag& tag, std::string_view name) {
    for (const auto& attr : tag.attributes) {
        if (attr.name == name) {
            return &attr;
        }
    }
    return nullptr;
}

bool matches(const Tag& tag, const TagSelector& selector) {
    if (tag.closing) {
        return false;
    }
    if (!selector.byClass) {
        const Attribute* id = findAttribute(tag, "id");
        return id != nullptr && id->value == selector.name;
    }
    const Attribute* cls = findAttribute(tag, "class");
    if (cls == nullptr || selector.name.empty()) {
        return false;
    }
    std::size_t i = 0;
    const std::string& v = cls->value;
    while (i < v.size()) {
        while (i < v.size() && isSpace(v[i])) {
            ++i;
        }
        const std::size_t begin = i;
        while (i < v.size() && !isSpace(v[i])) {
            ++i;
        }
        if (i > begin && v.compare(begin, i - begin, selector.name) == 0 &&
            i - begin == selector.name.size()) {
            return true;
        }
    }
    return false;
}

// Indices (into the tag list) of the matching start tags.
std::vector<std::size_t> findTargets(const std::vector<Tag>& tags, const TagSelector& selector) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (matches(tags[i], selector)) {
            found.push_back(i);
            if (!selector.byClass) {
                break;
            }
        }
    }
    return found;
}

std::string escapeAttribute(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '&') {
            out += "&amp;";
        } else if (c == '"') {
            out += "&quot;";
        } else {
            out += c;
        }
    }
    return out;
}

// For each start tag, the end tag that closes it (counting nested elements
// of the same name), or npos; found for the whole page in one pass.
std::vector<std::size_t> matchingEnds(const std::vector<Tag>& tags) {
    std::vector<std::size_t> ends(tags.size(), std::string::npos);
    std::map<std::string, std::vector<std::size_t>> open;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (!tags[i].closing && !tags[i].selfClosing) {
            open[tags[i].name].push_back(i);
        } else if (tags[i].closing) {
            auto& starts = open[tags[i].name];
            if (!starts.empty()) {
                ends[starts.back()] = i;
                starts.pop_back();
            }
        }
    }
    return ends;
}

// Replaces html[begin, end) with `text`.
struct Splice {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string_view text;
    bool space = false; // a space goes before the text
};

// Splices each target in one pass over the page. A target inside a part
// already replaced (an element nested in one whose content was set) counts
// as changed, as it would be if edited first and then replaced with its parent.
template <typename MakeSplice>
int editEach(std::string& html, const TagSelector& selector, std::size_t maxBytes, MakeSplice makeSplice) {
    const auto tags = tokenize(html);
    std::vector<Splice> splices;
    int changed = 0;
    std::size_t size = html.size();
    for (const std::size_t index : findTargets(tags, selector)) {
        auto splice = makeSplice(tags, index);
        if (!splice) {
            continue;
        }
        ++changed;
        if (!splices.empty() && splice->begin < splices.back().end) {
            continue;
        }
        size = size - (splice->end - splice->begin) + splice->text.size() + (splice->space ? 1 : 0);
        splices.push_back(std::move(*splice));
    }
    if (size > maxBytes) {
        return -1;
    }
    if (splices.empty()) {
        return changed;
    }
    std::string out;
    out.reserve(size);
    std::size_t copied = 0;
    for (const auto& splice : splices) {
        out.append(html, copied, splice.begin - copied);
        out += splice.space ? " " : "";
        out += splice.text;
        copied = splice.end;
    }
    out.append(html, copied, std::string::npos);
    html = std::move(out);
    return changed;
}

} // namespace

int setTagProperty(std::string& html, const TagSelector& selector, std::string_view property,
                   std::string_view value, std::size_t maxBytes) {
    const std::string name = asciiLower(property);
    if (name.empty() || std::any_of(name.begin(), name.end(), [](char c) {
            return isSpace(c) || c == '"' || c == '\'' || c == '>' || c == '/' || c == '=' || c == '<';
        })) {
        return 0; // not an attribute name; writing it would break the markup
    }
    const std::string replacement = name + "=\"" + escapeAttribute(value) + "\"";
    return editEach(html, selector, maxBytes, [&](const std::vector<Tag>& tags, std::size_t index) {
        const Tag& tag = tags[index];
        if (const Attribute* attr = findAttribute(tag, name)) {
            return std::optional<Splice>({attr->begin, attr->end, replacement});
        }
        const bool needsSpace = tag.attrsEnd > 0 && !isSpace(html[tag.attrsEnd - 1]);
        return std::optional<Splice>({tag.attrsEnd, tag.attrsEnd, replacement, needsSpace});
    });
}

int setTagContent(std::string& html, const TagSelector& selector, std::string_view content,
                  std::size_t maxBytes) {
    std::vector<std::size_t> ends;
    return editEach(html, selector, maxBytes, [&](const std::vector<Tag>& tags, std::size_t index) {
        const Tag& tag = tags[index];
        if (tag.selfClosing || isVoid(tag.name)) {
            return std::optional<Splice>();
        }
        if (ends.empty()) {
            ends = matchingEnds(tags);
        }
        // An element left open runs to the end of the page, as a browser reads it.
        const std::size_t contentEnd =
            ends[index] != std::string::npos ? tags[ends[index]].begin : html.size();
        return std::optional<Splice>({tag.end, contentEnd, content});
    });
}

} // namespace kesh::host
