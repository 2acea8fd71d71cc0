#include "desktop/GameWindowChoice.h"

#include "desktop/MainWindow.h"
#include "platform/qt/GameWindowCapture.h"
#include "ui_MainWindow.h"

#include <QInputDialog>

namespace kv {

std::string storedGameWindow(const QSettings& settings) {
    return settings.value(QString::fromLatin1(gameWindowKey)).toString().toStdString();
}

void addGameWindowChoice(MainWindow& window, GameWindowCapture& capture, QSettings& settings,
                         std::function<void(const std::string&)> log) {
    auto* choose = new QAction(QObject::tr("Choose the &Game Window..."), &window);
    window.ui().applicationMenu->insertAction(window.ui().debugMenuItem, choose);
    QObject::connect(choose, &QAction::triggered, &window, [&window, &capture, &settings, log] {
        const QString automatic = QObject::tr("Find the game's window by itself");
        QStringList items{automatic};
        QStringList names{QString()};
        for (const XWindowInfo& shown : capture.namedWindows()) {
            const std::string& name = !shown.className.empty()  ? shown.className
                                      : !shown.instance.empty() ? shown.instance
                                                                : shown.title;
            items << QString::fromStdString(shown.title.empty() ? name : shown.title + " (" + name + ")");
            names << QString::fromStdString(name);
        }
        bool picked = false;
        const QString item =
            QInputDialog::getItem(&window, QObject::tr("Game Window"), QObject::tr("Read the strip from:"),
                                  items, 0, false, &picked);
        if (!picked)
            return;
        const QString name = names.value(items.indexOf(item));
        if (name.isEmpty())
            settings.remove(QString::fromLatin1(gameWindowKey));
        else
            settings.setValue(QString::fromLatin1(gameWindowKey), name);
        capture.setChosenWindow(name.toStdString());
        log(name.isEmpty()
                ? std::string("The game's window is found by its names again.\n")
                : "The strip is read from the window \"" + name.toStdString() + "\" from now on.\n");
    });
}

} // namespace kv
