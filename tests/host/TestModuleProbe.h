#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QVariant>

#include <dlfcn.h>

// A second handle on a stand-in module: reads what the module recorded. While
// the probe holds the library it stays mapped; release() lets it go. It opens the
// library itself because QLibrary instances on one file share a single handle.
class TestModuleProbe
{
public:
    static QString path(const QString& name = QStringLiteral("fistestmodule"))
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/lib") + name +
               QStringLiteral(".so");
    }

    explicit TestModuleProbe(const QString& libraryPath = path())
        : m_handle(dlopen(QFile::encodeName(libraryPath).constData(), RTLD_NOW | RTLD_LOCAL))
    {
        if (!m_handle)
            qFatal("%s", dlerror());
        journal().clear();
        entry<void (*)(void (*)(const char*))>("testSetJournal")(&TestModuleProbe::record);
    }
    ~TestModuleProbe() { release(); }
    TestModuleProbe(const TestModuleProbe&) = delete;
    TestModuleProbe& operator=(const TestModuleProbe&) = delete;

    void release()
    {
        if (m_handle)
            dlclose(m_handle);
        m_handle = nullptr;
    }

    int iniProcCount() const { return int(journal().count(QStringLiteral("IniProc"))); }
    QVariant lastParameter() { return *entry<const QVariant* (*)()>("testLastParameter")(); }
    void failNextIniProc(const char* text)
    {
        entry<void (*)(const char*)>("testFailNextIniProc")(text);
    }

    // What the module did, in order, across loads and unloads.
    static QStringList& journal()
    {
        static QStringList events;
        return events;
    }

private:
    static void record(const char* event) { journal() << QString::fromLatin1(event); }

    template <typename Function> Function entry(const char* name)
    {
        void* function = m_handle ? dlsym(m_handle, name) : nullptr;
        if (!function)
            qFatal("entry %s missing", name);
        return reinterpret_cast<Function>(function);
    }

    void* m_handle;
};
