#include "checkrun.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return checkcli::main(args, QCoreApplication::applicationDirPath(), stdout, stderr);
}
