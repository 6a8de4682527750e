// kelvo-cli: the headless front end of kelvo.

#include <QCoreApplication>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvo"));
    return kelvo::CliApp().run(argc, argv);
}
