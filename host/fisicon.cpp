// Writes the application icon's PNG sizes into a folder tree of the hicolor theme.
#include "TAppIcon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 2) {
        std::fputs("uso: fisicon PASTA\n", stderr);
        return 2;
    }
    for (int size : TAppIcon::sizes()) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args[1]).arg(size);
        if (!QDir().mkpath(dir) ||
            !TAppIcon::draw(size).save(dir + QStringLiteral("/fishost.png"))) {
            std::fprintf(stderr, "fisicon: não foi possível gravar em %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
