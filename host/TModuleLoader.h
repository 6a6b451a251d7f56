#pragma once

#include <QString>
#include <QVariant>

#include <memory>

class QLibrary;

// One loaded screen module: a shared library exporting the plain entries
// Initialize, Finalize and IniProc. Initialize runs right after loading and
// Finalize right before unloading, so the module's own state lives exactly as
// long as its code is mapped.
class TModuleLoader
{
public:
    using TInitialize = void (*)();
    using TFinalize = void (*)();
    using TIniProc = void (*)(QVariant);

    TModuleLoader();
    ~TModuleLoader();
    TModuleLoader(const TModuleLoader&) = delete;
    TModuleLoader& operator=(const TModuleLoader&) = delete;

    // Throws EFrameworkError when the library cannot be loaded or lacks an entry;
    // in that case nothing of it has run. A module already loaded is unloaded first.
    void load(const QString& path);
    // Calls Finalize, then unloads; an error of Finalize is passed on after the
    // library is gone.
    void unload();

    bool isLoaded() const { return m_iniProc != nullptr; }
    QString fileName() const;

    // Errors raised by the module reach the caller unchanged.
    void callIniProc(const QVariant& parameter) const;

private:
    std::unique_ptr<QLibrary> m_library;
    TFinalize m_finalize = nullptr;
    TIniProc m_iniProc = nullptr;
};
