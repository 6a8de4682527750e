// A second kelvo process for the cross-process tests:
//   app_services_helper hold-lock <file>     takes the job lock and starts `sleep 30`, prints
//                                            "locked <its pid>" or "busy", then waits until stdin
//                                            closes
//   app_services_helper instance <name>      claims the single instance and prints its role; a
//                                            primary then prints "shown" when asked to show
//                                            itself and exits
//   app_services_helper append <file> <n>    waits until stdin closes, then appends n activity
//   lines
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

#include "app/activity_log.h"
#include "app/job_lock.h"
#include "app/single_instance.h"

int main(int argc, char** argv) {
    const std::string command = argc >= 3 ? argv[1] : "";
    const QString argument = argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QString();
    const auto say = [](const char* word) { return std::puts(word), std::fflush(stdout); };
    const auto waitForInputToClose = [] {
        for (char byte = 0; ::read(STDIN_FILENO, &byte, 1) > 0;) {
        }
    };
    if (command == "hold-lock") {
        kelvo::JobLock lock(argument);
        // A locked job starts a child that outlives this process when it is killed (a yt-dlp run).
        qint64 child = 0;
        if (lock.tryAcquire() && QProcess::startDetached("sleep", {"30"}, {}, &child)) {
            say(("locked " + std::to_string(child)).c_str());
        } else {
            say("busy");
        }
        waitForInputToClose();
    } else if (command == "append" && argc == 4) {
        waitForInputToClose();  // so that both writers start together
        for (int i = 0; i < std::stoi(argv[3]); ++i) {
            kelvo::ActivityLog(argument).append(
                QString("process %1 line %2").arg(::getpid()).arg(i));
        }
    } else if (command == "instance") {
        QCoreApplication app(argc, argv);
        kelvo::SingleInstance instance(argument);
        const auto role = instance.claim();
        if (role != kelvo::SingleInstance::Role::primary) {
            return say(role == kelvo::SingleInstance::Role::handedOver ? "handedOver" : "noAnswer");
        }
        say("primary");
        QObject::connect(&instance, &kelvo::SingleInstance::activationRequested, &app, [&] {
            say("shown");
            // Let the answer reach the asking process before going.
            QTimer::singleShot(100, &app, &QCoreApplication::quit);
        });
        return QCoreApplication::exec();
    }
    return 0;
}
