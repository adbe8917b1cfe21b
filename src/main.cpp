#include "QuorvaneApplication.h"
#include "TerminationSignals.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("KVSOFT"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    QuorvaneApplication program;
    // TERM and INT close the program as its Exit command does.
    TerminationSignals termination;
    termination.install();
    QObject::connect(&termination, &TerminationSignals::requested, &app,
                     [&program] { program.requestExit(); });

    const int result = program.InitInstance() ? app.exec() : 0;
    program.ExitInstance();
    return result;
}
