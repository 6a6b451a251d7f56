#include "Cli_fis01200.h"

#include "EFrameworkError.h"
#include "TApplication.h"
#include "TReportParameters.h"
#include "TReportParams.h"
#include "TScreen.h"
#include "TfrmListDocumentos.h"

#include <QMdiSubWindow>
#include <QPointer>
#include <QScopeGuard>
#include <utility>

TfrmListDocumentos* frmListDocumentos = nullptr;
bool boStCriado = false;
QString stListaTp;
QString stListaMod;

namespace {

int initializations = 0;
// Set when the screen installed the report parameters itself (no host had): what it
// installed points into this library, so it goes before the library does.
bool installedParameters = false;

bool isNull(const QVariant& value)
{
    return !value.isValid() || value.isNull();
}

// The mode text of the entry's parameter; refuses what is not Null or an array.
QString modeText(const QVariant& param)
{
    if (isNull(param))
        return QStringLiteral("S");
    if (param.typeId() != QMetaType::QVariantList && param.typeId() != QMetaType::QStringList)
        throw EFrameworkError(
            QStringLiteral("Parâmetro inválido: é esperado Null ou uma lista (recebido %1).")
                .arg(QString::fromLatin1(param.typeName())));
    const QVariantList list = param.toList();
    if (list.isEmpty())
        throw EFrameworkError(QStringLiteral("Parâmetro inválido: a lista não tem o elemento 0."));
    const QVariant& first = list.at(0);
    if (isNull(first))
        return QStringLiteral("S");
    if (!first.canConvert<QString>())
        throw EFrameworkError(
            QStringLiteral("Parâmetro inválido: o elemento 0 (%1) não se converte em texto.")
                .arg(QString::fromLatin1(first.typeName())));
    return first.toString();
}

} // namespace

void IniProc(QVariant Param)
{
    const QVariant param = Param;
    const QString mode = modeText(param);
    // No character to read: the default presentation, as for Null.
    CriaListDocumentos(mode.isEmpty() ? QChar(u'S') : mode.at(0));
}

void CriaListDocumentos(QChar Mode)
{
    // The report designer the screen opens offers the screen's report parameters; a
    // host's own set is kept, since this library's copy goes when it is unloaded.
    if (TReportParameters::installed().names.isEmpty()) {
        TReportParams::install();
        installedParameters = true;
    }
    TScreen::setCursor(TScreen::crHourGlass);
    // The hourglass must not outlive a failed creation or show.
    const auto restoreCursor = qScopeGuard([] { TScreen::setCursor(TScreen::crDefault); });

    if (!boStCriado) {
        auto* form = new TfrmListDocumentos({&stListaTp, [] { boStCriado = false; }});
        TApplication::instance()->own(form);
        QObject::connect(form, &QObject::destroyed, [form] {
            if (frmListDocumentos == form)
                frmListDocumentos = nullptr;
        });
        frmListDocumentos = form;
        boStCriado = true;
    }

    TfrmListDocumentos* form = frmListDocumentos;
    QPointer<TfrmListDocumentos> alive(form);
    if (Mode == u'S') {
        form->setBorderStyle(TForm::bsSingle);
        form->setBorderIcons(form->BorderIcons() & ~(1 << TForm::biMaximize));
        form->setFormStyle(TForm::fsMDIChild);
        form->Show();
    } else {
        form->setBorderStyle(TForm::bsDialog);
        form->setBorderIcons(form->BorderIcons() | (1 << TForm::biMaximize));
        form->ShowModal();
    }
    if (alive)
        form->setWindowState(TForm::wsNormal);
    TScreen::setCursor(TScreen::crDefault);
}

void Initialize()
{
    if (initializations++ > 0)
        return;
    boStCriado = false;
}

void Finalize()
{
    if (initializations == 0 || --initializations > 0)
        return;
    // The form's code goes with the module: a form still open, or waiting for its
    // deferred destruction, is destroyed now.
    if (frmListDocumentos) {
        TfrmListDocumentos* form = frmListDocumentos;
        if (QMdiSubWindow* frame = form->mdiSubWindow())
            delete frame;
        else
            delete form;
    }
    frmListDocumentos = nullptr;
    boStCriado = false;
    stListaTp.clear();
    stListaMod.clear();
    if (std::exchange(installedParameters, false))
        TReportParameters::install({});
}
