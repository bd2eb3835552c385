// SPDX-License-Identifier: GPL-2.0-or-later
// Loads a booster plug-in the way the launcher library does and warms one
// booster up: boosterprobe PLUGIN [QMLFILE]. Prints the result of warmUp on
// standard output; the booster's log goes to standard error. With QMLFILE it
// then loads that file on an engine of its own and prints the component's
// errors, as a reference for the booster's log.
#include <booster.h>

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlError>
#include <QUrl>

#include <cstdio>
#include <dlfcn.h>

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: boosterprobe PLUGIN [QMLFILE]\n");
        return 2;
    }
    void *plugin = dlopen(argv[1], RTLD_NOW);
    if (!plugin) {
        fprintf(stderr, "boosterprobe: %s\n", dlerror());
        return 2;
    }
    auto create = reinterpret_cast<Booster *(*)()>(dlsym(plugin, "create"));
    if (!create) {
        fprintf(stderr, "boosterprobe: no create\n");
        return 2;
    }
    Booster *booster = create();
    booster->initialize(argc, argv, -1, -1, nullptr, false);
    printf("warmUp=%s\n", booster->warmUp() ? "true" : "false");
    delete booster;
    if (argc == 3) {
        QQmlEngine engine;
        QQmlComponent component(&engine, QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2])));
        for (const QQmlError &error : component.errors()) {
            printf("error: %s\n", error.toString().toLatin1().constData());
        }
    }
    return 0;
}
