#pragma once

// Qt for test programs: one application object for the whole program, created after the test
// main has moved HOME and the XDG folders into the scratch folder, and waiting on the event loop
// for a condition. Header only: programs without Qt never include it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <memory>
#include <ostream>

namespace kelvo::test {

// `Application` is QCoreApplication, QGuiApplication or QApplication. `platform` (for example
// "offscreen") sets QT_QPA_PLATFORM unless the environment already chose one.
template <typename Application>
class QtEnvironment : public ::testing::Environment {
  public:
    explicit QtEnvironment(const char* platform = nullptr) : platform_(platform) {}
    void SetUp() override {
        if (platform_ != nullptr && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", platform_);
        }
        application_ = std::make_unique<Application>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

  private:
    const char* platform_;
    int argc_ = 1;
    char name_[16] = "kelvo_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<Application> application_;
};

// Runs the event loop until `done` answers true or `timeoutMs` passes; returns done().
template <typename Condition>
bool processEventsUntil(Condition done, int timeoutMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

}  // namespace kelvo::test

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
