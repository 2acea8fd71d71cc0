#include "platform/qt/QtWindowElements.h"

#include "platform/qt/RtfReader.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QSettings>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextEdit>

namespace kv {

void QtLogView::insertAtCursor(const std::string& text) {
    QScrollBar* scroll = edit_->verticalScrollBar();
    const bool followingEnd = scroll->value() == scroll->maximum();
    QTextCursor end(edit_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (followingEnd)
        scroll->setValue(scroll->maximum());
}

void QtWindow::saveFrame(const std::string& name) {
    settings_.setValue(QString::fromStdString(name), widget_->saveGeometry());
}

void QtWindow::restoreFrame(const std::string& name) {
    const QVariant frame = settings_.value(QString::fromStdString(name));
    if (frame.isValid())
        widget_->restoreGeometry(frame.toByteArray());
}

void QtWindow::show() {
    widget_->show();
}

void QtWindow::bringToFrontAndMakeKey() {
    widget_->show();
    widget_->raise();
    widget_->activateWindow();
}

std::int64_t QtPopUpButton::selectedTag() const {
    return box_->currentIndex() < 0 ? 0 : box_->currentData().toLongLong();
}

// Selecting from code never runs the pop-up's command: commands follow the
// user's choice (QComboBox::activated) only.
bool QtPopUpButton::selectItemWithTag(std::int64_t tag) {
    const int index = box_->findData(static_cast<qlonglong>(tag));
    if (index < 0)
        return false;
    box_->setCurrentIndex(index);
    return true;
}

int QtPopUpButton::itemCount() const {
    return box_->count();
}

std::int64_t QtPopUpButton::itemTag(int index) const {
    return box_->itemData(index).toLongLong();
}

void QtPopUpButton::setItemState(int index, bool on) {
    box_->setItemData(index, on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

bool QtPopUpButton::itemState(int index) const {
    return box_->itemData(index, Qt::CheckStateRole).toInt() == Qt::Checked;
}

bool QtCheckBox::isOn() const {
    return box_->isChecked();
}

void QtCheckBox::setOn(bool on) {
    box_->setChecked(on);
}

void QtMenuItem::setTitle(const std::string& title) {
    action_->setText(QString::fromStdString(title));
}

void QtMenuItem::setState(bool on) {
    action_->setCheckable(true);
    action_->setChecked(on);
}

void QtImageView::setHidden(bool hidden) {
    label_->setVisible(!hidden);
}

bool QtRichTextView::loadRichTextFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    auto* document = new QTextDocument(browser_);
    if (!readRtf(file.readAll(), *document)) {
        delete document;
        return false;
    }
    browser_->setDocument(document);
    return true;
}

} // namespace kv
