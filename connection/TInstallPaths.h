#pragma once

#include <QString>

// Where the host's files are: beside an installed program under ../lib/fis01200 and
// ../share/fis01200, or, in a build tree, beside the program and in the sources.
class TInstallPaths
{
public:
    static QString modulePath();
    static QString reportDirectory();
    static QString helpDirectory();

private:
    // The installed path when it exists, else the build tree's.
    static QString pick(const QString& installed, const QString& buildTree);
};
