#include "TModuleLoader.h"

#include "EFrameworkError.h"
#include "TEventGuard.h"

#include <QFileInfo>
#include <QLibrary>

TModuleLoader::TModuleLoader() = default;

TModuleLoader::~TModuleLoader()
{
    // A failing Finalize is shown, not thrown out of a destructor.
    TEventGuard::run([this] { unload(); });
}

void TModuleLoader::load(const QString& path)
{
    unload();

    auto library = std::make_unique<QLibrary>(path);
    if (!library->load()) {
        // For a missing file the loader's reason names the variants it tried, which
        // only confuses.
        if (!QFileInfo::exists(path))
            throw EFrameworkError(QStringLiteral("O módulo %1 não foi encontrado.").arg(path));
        throw EFrameworkError(QStringLiteral("Não foi possível carregar o módulo %1.\n%2")
                                  .arg(path, library->errorString()));
    }

    // Every entry is checked before any of them runs, so a broken module is never
    // left half initialised.
    const auto entry = [&](const char* name) {
        QFunctionPointer function = library->resolve(name);
        if (!function) {
            library->unload();
            throw EFrameworkError(QStringLiteral("O módulo %1 não exporta a entrada \"%2\".")
                                      .arg(path, QString::fromLatin1(name)));
        }
        return function;
    };
    const auto initialize = reinterpret_cast<TInitialize>(entry("Initialize"));
    const auto finalize = reinterpret_cast<TFinalize>(entry("Finalize"));
    const auto iniProc = reinterpret_cast<TIniProc>(entry("IniProc"));

    try {
        initialize();
    } catch (...) {
        library->unload();
        throw;
    }

    m_library = std::move(library);
    m_finalize = finalize;
    m_iniProc = iniProc;
}

void TModuleLoader::unload()
{
    if (!m_library)
        return;

    const std::unique_ptr<QLibrary> library = std::move(m_library);
    const TFinalize finalize = m_finalize;
    m_finalize = nullptr;
    m_iniProc = nullptr;

    try {
        finalize();
    } catch (...) {
        library->unload();
        throw;
    }
    library->unload();
}

QString TModuleLoader::fileName() const
{
    return m_library ? m_library->fileName() : QString();
}

void TModuleLoader::callIniProc(const QVariant& parameter) const
{
    if (!m_iniProc)
        throw EFrameworkError(QStringLiteral("Nenhum módulo carregado."));
    m_iniProc(parameter);
}
