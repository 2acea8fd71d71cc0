// The persisted settings: language, landing page, show on desktop too.
#include "shell/AppDelegate.h"

namespace kv {

namespace {

// Keeps exactly one item marked: the one whose tag was chosen.
void markChosenItem(PopUpButton& menu, std::int64_t chosenTag) {
    for (int i = 0; i < menu.itemCount(); ++i)
        menu.setItemState(i, menu.itemTag(i) == chosenTag);
}

} // namespace

void AppDelegate::languageChanged(PopUpButton* sender) {
    if (sender) {
        userLanguage = sender->selectedTag();
        markChosenItem(*sender, userLanguage);
    }
    platform.defaults.setInteger("userLanguageKey", userLanguage);
    pushUpdatePage(); // the companion display's waiting page follows the language
    confirmCalibrate = true;
}

void AppDelegate::landingChanged(PopUpButton* sender) {
    if (sender) {
        landingPageInt = sender->selectedTag();
        markChosenItem(*sender, landingPageInt);
    }
    platform.defaults.setInteger("landingPageIntKey", landingPageInt);
    confirmCalibrate = true;
}

void AppDelegate::DesktopTooClicked(UiElement* /*sender*/) {
    showOnDesktopToo = showDesktopToo && showDesktopToo->isOn();
    platform.defaults.setBool("showOnDesktopTooKey", showOnDesktopToo);
}

} // namespace kv
