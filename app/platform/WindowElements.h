// Seam: the elements of the main and help windows that the core drives.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

class UiElement {
public:
    virtual ~UiElement() = default;
};

// The log: a read-only text view in a scroll view.
class LogView : public UiElement {
public:
    // Inserts at the current selection, replacing it (normally the end).
    virtual void insertAtCursor(const std::string& text) = 0;
};

class Window : public UiElement {
public:
    virtual void saveFrame(const std::string& name) = 0;
    // Nothing happens when no frame was saved under the name.
    virtual void restoreFrame(const std::string& name) = 0;
    virtual void show() = 0;
    virtual void bringToFrontAndMakeKey() = 0;
};

// A pop-up button whose items carry integer tags.
class PopUpButton : public UiElement {
public:
    virtual std::int64_t selectedTag() const = 0;
    // Returns false when no item has the tag.
    virtual bool selectItemWithTag(std::int64_t tag) = 0;
    virtual int itemCount() const = 0;
    virtual std::int64_t itemTag(int index) const = 0;
    virtual void setItemState(int index, bool on) = 0;
};

class CheckBox : public UiElement {
public:
    virtual bool isOn() const = 0;
    virtual void setOn(bool on) = 0;
};

class MenuItem : public UiElement {
public:
    virtual void setTitle(const std::string& title) = 0;
    virtual void setState(bool on) = 0;
};

class ImageView : public UiElement {
public:
    virtual void setHidden(bool hidden) = 0;
};

// The help window's rich-text view.
class RichTextView : public UiElement {
public:
    // Loads a rich-text file; false when it cannot be read.
    virtual bool loadRichTextFile(const std::string& path) = 0;
};

} // namespace kv
