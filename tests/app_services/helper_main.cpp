// A second kelvo process for the cross-process tests:
//   app_services_helper hold-lock <file>     takes the job lock, prints "locked" or "busy", then
//                                            waits until stdin closes
//   app_services_helper instance <name>      claims the single instance and prints its role; a
//                                            primary then prints "shown" when asked to show
//                                            itself and exits
//   app_services_helper append <file> <n>    appends n activity lines
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/activity_log.h"
#include "app/job_lock.h"
#include "app/single_instance.h"

namespace {
int say(const char* word) {
    std::printf("%s\n", word);
    return std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc >= 3 ? argv[1] : "";
    const QString argument = argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (command == "hold-lock") {
        kelvo::JobLock lock(argument);
        say(lock.tryAcquire() ? "locked" : "busy");
        for (char byte = 0; ::read(STDIN_FILENO, &byte, 1) > 0;) {
        }
        return 0;
    }
    if (command == "append" && argc == 4) {
        const kelvo::ActivityLog log(argument);
        for (int i = 0; i < std::stoi(argv[3]); ++i) {
            log.append(QStringLiteral("process %1 line %2").arg(::getpid()).arg(i));
        }
        return 0;
    }
    if (command != "instance") {
        return 2;
    }
    QCoreApplication app(argc, argv);
    kelvo::SingleInstance instance(argument);
    const auto role = instance.claim();
    if (role != kelvo::SingleInstance::Role::primary) {
        return say(role == kelvo::SingleInstance::Role::handedOver ? "handedOver" : "noAnswer");
    }
    say("primary");
    QObject::connect(&instance, &kelvo::SingleInstance::activationRequested, &app, [&app] {
        say("shown");
        // Let the answer reach the asking process before going.
        QTimer::singleShot(100, &app, &QCoreApplication::quit);
    });
    return QCoreApplication::exec();
}
