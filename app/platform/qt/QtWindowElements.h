// The window elements the controller drives, as thin adapters over Qt widgets.
#pragma once

#include "platform/WindowElements.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QSettings;
class QTextBrowser;
class QTextEdit;
class QWidget;

namespace kv {

// The log keeps the user's selection: a message is always added at the end,
// and the view follows the end only while it was showing the end.
class QtLogView : public LogView {
public:
    explicit QtLogView(QTextEdit* edit) : edit_(edit) {}
    void insertAtCursor(const std::string& text) override;

private:
    QTextEdit* edit_;
};

// The window's frame lives in the settings store under the given name.
class QtWindow : public Window {
public:
    QtWindow(QWidget* widget, QSettings& settings) : widget_(widget), settings_(settings) {}
    void saveFrame(const std::string& name) override;
    void restoreFrame(const std::string& name) override;
    void show() override;
    void bringToFrontAndMakeKey() override;

private:
    QWidget* widget_;
    QSettings& settings_;
};

// Items carry their tag as item data; an item's state is its check mark.
class QtPopUpButton : public PopUpButton {
public:
    explicit QtPopUpButton(QComboBox* box) : box_(box) {}
    std::int64_t selectedTag() const override;
    bool selectItemWithTag(std::int64_t tag) override;
    int itemCount() const override;
    std::int64_t itemTag(int index) const override;
    void setItemState(int index, bool on) override;
    // Whether the item carries a check mark (what setItemState set).
    bool itemState(int index) const;

private:
    QComboBox* box_;
};

class QtCheckBox : public CheckBox {
public:
    explicit QtCheckBox(QCheckBox* box) : box_(box) {}
    bool isOn() const override;
    void setOn(bool on) override;

private:
    QCheckBox* box_;
};

class QtMenuItem : public MenuItem {
public:
    explicit QtMenuItem(QAction* action) : action_(action) {}
    void setTitle(const std::string& title) override;
    void setState(bool on) override;

private:
    QAction* action_;
};

class QtImageView : public ImageView {
public:
    explicit QtImageView(QLabel* label) : label_(label) {}
    void setHidden(bool hidden) override;

private:
    QLabel* label_;
};

class QtRichTextView : public RichTextView {
public:
    explicit QtRichTextView(QTextBrowser* browser) : browser_(browser) {}
    bool loadRichTextFile(const std::string& path) override;

private:
    QTextBrowser* browser_;
};

} // namespace kv
