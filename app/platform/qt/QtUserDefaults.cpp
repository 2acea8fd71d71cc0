#include "platform/qt/QtUserDefaults.h"

#include <cmath>

namespace kv {

namespace {

QString keyOf(const std::string& key) {
    return QString::fromStdString(key);
}

} // namespace

QtUserDefaults::QtUserDefaults() : settings_(QStringLiteral("Pellmoor"), QStringLiteral("KeshVistrel")) {}

bool QtUserDefaults::hasKey(const std::string& key) const {
    return settings_.contains(keyOf(key));
}

// A value that does not read as a number counts as absent: 0.
std::int64_t QtUserDefaults::integerForKey(const std::string& key) const {
    bool ok = false;
    const qlonglong value = settings_.value(keyOf(key)).toLongLong(&ok);
    if (ok)
        return value;
    // Integers written as floats by hand are cut toward zero, as the store on other desktops does.
    const double widened = settings_.value(keyOf(key)).toDouble(&ok);
    return ok && std::abs(widened) < 9.0e18 ? static_cast<std::int64_t>(widened) : 0;
}

float QtUserDefaults::floatForKey(const std::string& key) const {
    bool ok = false;
    const float value = settings_.value(keyOf(key)).toFloat(&ok);
    return ok ? value : 0.0f;
}

bool QtUserDefaults::boolForKey(const std::string& key) const {
    return settings_.value(keyOf(key), false).toBool();
}

void QtUserDefaults::setInteger(const std::string& key, std::int64_t value) {
    settings_.setValue(keyOf(key), static_cast<qlonglong>(value));
}

void QtUserDefaults::setFloat(const std::string& key, float value) {
    settings_.setValue(keyOf(key), value);
}

void QtUserDefaults::setBool(const std::string& key, bool value) {
    settings_.setValue(keyOf(key), value);
}

void QtUserDefaults::removeKey(const std::string& key) {
    settings_.remove(keyOf(key));
}

void QtUserDefaults::synchronize() {
    settings_.sync();
}

} // namespace kv
