// Writes COUNT values NAME0..NAMEn-1 into KEY of the registry file, one write each.
#include "platform/registrystore.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: registry_writer FILE KEY NAME COUNT\n");
        return 2;
    }
    platform::RegistryStore reg(args.at(1));
    if (!reg.openKey(args.at(2), true))
        return 1;
    const int count = args.at(4).toInt();
    for (int i = 0; i < count; ++i)
        if (!reg.writeString(args.at(3) + QString::number(i), QString::number(i)))
            return 1;
    return 0;
}
