// Window elements that remember what the application did to them.
#pragma once

#include "platform/WindowElements.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kv::fakes {

class FakeLogView : public LogView {
public:
    std::string text;

    void insertAtCursor(const std::string& inserted) override { text += inserted; }
};

class FakeWindow : public Window {
public:
    std::vector<std::string> savedFrames;
    std::vector<std::string> restoredFrames;
    bool visible = false;
    int broughtToFront = 0;

    void saveFrame(const std::string& name) override { savedFrames.push_back(name); }
    void restoreFrame(const std::string& name) override { restoredFrames.push_back(name); }
    void show() override { visible = true; }
    void bringToFrontAndMakeKey() override { ++broughtToFront; }
};

class FakePopUpButton : public PopUpButton {
public:
    struct Item {
        std::int64_t tag;
        bool on = false;
    };
    std::vector<Item> items;
    int selectedIndex = -1;

    explicit FakePopUpButton(std::vector<std::int64_t> tags) {
        for (auto tag : tags)
            items.push_back({tag});
    }

    // What the user does: choose the item with this tag.
    void choose(std::int64_t tag) { selectItemWithTag(tag); }
    std::vector<std::int64_t> markedTags() const {
        std::vector<std::int64_t> marked;
        for (const auto& item : items)
            if (item.on)
                marked.push_back(item.tag);
        return marked;
    }

    std::int64_t selectedTag() const override {
        return selectedIndex < 0 ? 0 : items[static_cast<std::size_t>(selectedIndex)].tag;
    }
    bool selectItemWithTag(std::int64_t tag) override {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].tag == tag) {
                selectedIndex = static_cast<int>(i);
                return true;
            }
        return false;
    }
    int itemCount() const override { return static_cast<int>(items.size()); }
    std::int64_t itemTag(int index) const override { return items[static_cast<std::size_t>(index)].tag; }
    void setItemState(int index, bool on) override { items[static_cast<std::size_t>(index)].on = on; }
};

class FakeCheckBox : public CheckBox {
public:
    bool on = false;
    bool isOn() const override { return on; }
    void setOn(bool value) override { on = value; }
};

class FakeMenuItem : public MenuItem {
public:
    std::string title;
    bool state = false;
    void setTitle(const std::string& value) override { title = value; }
    void setState(bool on) override { state = on; }
};

class FakeImageView : public ImageView {
public:
    bool hidden = false;
    void setHidden(bool value) override { hidden = value; }
};

class FakeRichTextView : public RichTextView {
public:
    std::vector<std::string> loadedPaths;
    bool loadRichTextFile(const std::string& path) override {
        loadedPaths.push_back(path);
        return true;
    }
};

} // namespace kv::fakes
