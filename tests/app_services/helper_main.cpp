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
void say(const char* word) {
    std::printf("%s\n", word);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    const std::string command = argv[1];
    if (command == "hold-lock") {
        kelvo::JobLock lock(QString::fromLocal8Bit(argv[2]));
        say(lock.tryAcquire() ? "locked" : "busy");
        char byte = 0;
        while (::read(STDIN_FILENO, &byte, 1) > 0) {
        }
        return 0;
    }
    if (command == "append" && argc == 4) {
        const kelvo::ActivityLog log(QString::fromLocal8Bit(argv[2]));
        const int count = std::stoi(argv[3]);
        for (int i = 0; i < count; ++i) {
            log.append(QStringLiteral("process %1 line %2").arg(::getpid()).arg(i));
        }
        return 0;
    }
    if (command == "instance") {
        QCoreApplication app(argc, argv);
        kelvo::SingleInstance instance(QString::fromLocal8Bit(argv[2]));
        switch (instance.claim()) {
            case kelvo::SingleInstance::Role::handedOver:
                say("handedOver");
                return 0;
            case kelvo::SingleInstance::Role::noAnswer:
                say("noAnswer");
                return 0;
            case kelvo::SingleInstance::Role::primary:
                say("primary");
                break;
        }
        QObject::connect(&instance, &kelvo::SingleInstance::activationRequested, &app, [&app] {
            say("shown");
            // Let the answer reach the asking process before going.
            QTimer::singleShot(100, &app, &QCoreApplication::quit);
        });
        return app.exec();
    }
    return 2;
}
