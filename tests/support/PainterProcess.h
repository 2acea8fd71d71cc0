// The strip painter program on a test display, driven through its standard
// input and watched through the lines it prints.
#pragma once

#include "WaitUntil.h"

#include <QProcess>

#include <algorithm>
#include <string>
#include <vector>

namespace kv::testsupport {

class PainterProcess {
public:
    PainterProcess(const QString& program, const std::string& display) : program_(program) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QString::fromStdString(display));
        environment.insert("QT_QPA_PLATFORM", "xcb");
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { readLines(); });
    }
    ~PainterProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Starts the painter and waits until its window is on the screen.
    bool start(const QStringList& arguments) {
        process_.start(program_, arguments);
        return process_.waitForStarted(10000) && waitFor("ready");
    }
    void send(const std::string& line) {
        const std::string withEnd = line + "\n";
        process_.write(withEnd.data(), static_cast<qint64>(withEnd.size()));
    }
    long count(const std::string& line) const { return std::count(lines_.begin(), lines_.end(), line); }
    bool saw(const std::string& line) const { return count(line) > 0; }
    bool waitFor(const std::string& line, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        return waitUntil([&] { return saw(line); }, deadline);
    }
    // The exit code once the painter has ended by itself, else -1.
    int waitForExit() {
        if (!waitUntil([&] { return process_.state() == QProcess::NotRunning; }, std::chrono::seconds(10)))
            return -1;
        readLines();
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    void readLines() {
        while (process_.canReadLine())
            lines_.push_back(process_.readLine().trimmed().toStdString());
    }

    QString program_;
    QProcess process_;
    std::vector<std::string> lines_;
};

} // namespace kv::testsupport
