// Applies an applet's tag edits to the text of an HTML page, the way the
// display page applies them to its live document: a property is an element
// attribute (setAttribute), content is the element's inner HTML.
#pragma once

#include <string>
#include <string_view>

namespace kesh::host {

struct TagSelector {
    std::string name; // an element id, or a class name
    bool byClass = false;
};

// Each returns how many elements were changed. By id only the first element
// with that id is changed; by class every element carrying the class, all in
// one pass over the page. An edit that would make the page longer than
// `maxBytes` is not made: the page stays as it was and the result is -1.
int setTagProperty(std::string& html, const TagSelector& selector, std::string_view property,
                   std::string_view value, std::size_t maxBytes = std::string::npos);
int setTagContent(std::string& html, const TagSelector& selector, std::string_view content,
                  std::size_t maxBytes = std::string::npos);

} // namespace kesh::host
