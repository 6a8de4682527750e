#pragma once

// One QCoreApplication for a whole test program, created after the test main has moved HOME and
// the XDG folders into the scratch folder.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <ostream>

namespace kelvo::test {

class QtCoreEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "app_services_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QCoreApplication> app_;
};

// Runs the event loop until `done` answers true or the time is up; returns `done()`.
inline bool processEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
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
