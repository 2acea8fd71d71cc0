// Reads standard input line by line without blocking the event loop.
#pragma once

#include <QObject>

#include <string>

class QSocketNotifier;

namespace kv::painter {

class StdinLineReader : public QObject {
    Q_OBJECT

public:
    explicit StdinLineReader(QObject* parent = nullptr);
    void start();

signals:
    void lineRead(const std::string& line);
    // End of input; a last line without a line break has been delivered.
    void closed();

private:
    void readAvailable();

    QSocketNotifier* notifier_ = nullptr;
    std::string pending_;
};

} // namespace kv::painter
