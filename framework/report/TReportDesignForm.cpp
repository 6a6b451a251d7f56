#include "TReportDesignForm.h"

#include "EFrameworkError.h"
#include "Helpers.h"
#include "TApplication.h"
#include "TEventGuard.h"
#include "TMessagePresenter.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QLineEdit* readOnlyEdit(const QString& text, QWidget* parent)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setReadOnly(true);
    return edit;
}

QTableWidgetItem* fixedItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QString parameterText(const TParam& p)
{
    if (p.IsNull())
        return QStringLiteral("(nulo)");
    if (p.Value().typeId() == QMetaType::QDate)
        return p.AsDate().toString(QStringLiteral("dd/MM/yyyy"));
    const QString text = p.AsString();
    return text.isEmpty() ? QStringLiteral("(vazio)") : text;
}

QString alignmentText(Qt::Alignment a)
{
    if (a & Qt::AlignRight)
        return QStringLiteral("Direita");
    if (a & Qt::AlignHCenter)
        return QStringLiteral("Centro");
    return QStringLiteral("Esquerda");
}

QString formatText(TReportDefinition::Format f)
{
    switch (f) {
    case TReportDefinition::Format::Date:
        return QStringLiteral("Data");
    case TReportDefinition::Format::Money:
        return QStringLiteral("Valor");
    case TReportDefinition::Format::Integer:
        return QStringLiteral("Inteiro");
    case TReportDefinition::Format::CnpjCpf:
        return QStringLiteral("CNPJ/CPF");
    case TReportDefinition::Format::Text:
        break;
    }
    return QStringLiteral("Texto");
}

} // namespace

TReportDesignForm::TReportDesignForm(const TReportDefinition& definition, const QString& queryText,
                                     const TParams& params, QWidget* parent)
    : QDialog(parent), m_definition(definition)
{
    setObjectName(QStringLiteral("frmEditorRelatorio"));
    setWindowTitle(QStringLiteral("Editor de Relatório - %1").arg(definition.Name()));
    resize(760, 560);

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Relatório:"), readOnlyEdit(definition.Name(), this));
    form->addRow(QStringLiteral("Código:"), readOnlyEdit(definition.ReportCode(), this));
    form->addRow(QStringLiteral("Arquivo:"), readOnlyEdit(definition.FilePath(), this));
    m_title = new QLineEdit(definition.Title(), this);
    m_title->setObjectName(QStringLiteral("edtTitulo"));
    form->addRow(QStringLiteral("Título:"), m_title);
    form->addRow(QStringLiteral("Orientação:"),
                 readOnlyEdit(definition.Orientation() == QPageLayout::Landscape
                                  ? QStringLiteral("Paisagem")
                                  : QStringLiteral("Retrato"),
                              this));
    layout->addLayout(form);

    auto* tabs = new QTabWidget(this);
    auto* query = new QPlainTextEdit(queryText, tabs);
    query->setObjectName(QStringLiteral("memConsulta"));
    query->setReadOnly(true);
    query->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    tabs->addTab(query, QStringLiteral("Consulta"));

    auto* paramTable = new QTableWidget(params.Count(), 2, tabs);
    paramTable->setObjectName(QStringLiteral("grdParametros"));
    paramTable->setHorizontalHeaderLabels({QStringLiteral("Parâmetro"), QStringLiteral("Valor")});
    for (int i = 0; i < params.Count(); ++i) {
        paramTable->setItem(i, 0, fixedItem(params[i].Name()));
        paramTable->setItem(i, 1, fixedItem(parameterText(params[i])));
    }
    paramTable->resizeColumnToContents(0);
    paramTable->verticalHeader()->hide();
    paramTable->horizontalHeader()->setStretchLastSection(true);
    tabs->addTab(paramTable, QStringLiteral("Parâmetros"));

    const QList<TReportDefinition::Column> columns = definition.Columns();
    m_columns = new QTableWidget(int(columns.size()), 5, tabs);
    m_columns->setObjectName(QStringLiteral("grdColunas"));
    m_columns->setHorizontalHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Título"),
                                          QStringLiteral("Largura"), QStringLiteral("Alinhamento"),
                                          QStringLiteral("Formato")});
    for (int i = 0; i < columns.size(); ++i) {
        const auto& c = columns[i];
        m_columns->setItem(i, 0, fixedItem(c.field));
        m_columns->setItem(i, 1, new QTableWidgetItem(c.title));
        m_columns->setItem(i, 2, fixedItem(QString::number(c.width)));
        m_columns->setItem(i, 3, fixedItem(alignmentText(c.alignment)));
        m_columns->setItem(i, 4, fixedItem(formatText(c.format)));
    }
    m_columns->verticalHeader()->hide();
    m_columns->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    tabs->addTab(m_columns, QStringLiteral("Colunas"));
    layout->addWidget(tabs, 1);

    auto* note = new QLabel(QStringLiteral("Nesta versão do editor podem ser alterados o título do "
                                           "relatório e os títulos das colunas. A edição completa "
                                           "do leiaute virá em uma versão futura."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* saveButton =
        buttons->addButton(QStringLiteral("Salvar como..."), QDialogButtonBox::ActionRole);
    saveButton->setObjectName(QStringLiteral("btnSalvarComo"));
    QPushButton* closeButton =
        buttons->addButton(QStringLiteral("Fechar"), QDialogButtonBox::RejectRole);
    closeButton->setObjectName(QStringLiteral("btnFechar"));
    connect(saveButton, &QPushButton::clicked, this, &TReportDesignForm::saveAsClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

TReportDefinition TReportDesignForm::editedDefinition() const
{
    TReportDefinition d = m_definition;
    d.setTitle(m_title->text().trimmed());
    for (int i = 0; i < m_columns->rowCount(); ++i)
        d.setColumnTitle(i, m_columns->item(i, 1)->text());
    return d;
}

QString TReportDesignForm::saveAs(const QString& title)
{
    const QString name = title.trimmed();
    if (EmptyString(name))
        throw EFrameworkError(QStringLiteral("Informe o título do relatório."));
    TReportDefinition d = editedDefinition();
    d.setName(name);
    if (d.Title().isEmpty())
        d.setTitle(name);

    const QString directory = m_definition.FilePath().isEmpty()
                                  ? TApplication::instance()->reportDirectory()
                                  : QFileInfo(m_definition.FilePath()).absolutePath();
    for (const TReportDefinition& existing :
         TReportDefinition::listForCode(directory, d.ReportCode()))
        if (existing.Name().compare(name, Qt::CaseInsensitive) == 0)
            throw EFrameworkError(
                QStringLiteral("Já existe um relatório com o título '%1'.").arg(name));

    const QString path = TReportDefinition::newFilePath(directory, d.ReportCode());
    d.save(path);
    Q_EMIT saved(path);
    return path;
}

void TReportDesignForm::saveAsClicked()
{
    TEventGuard::run([this] {
        bool ok = false;
        const QString title =
            QInputDialog::getText(this, QStringLiteral("Título do Relatório"),
                                  QStringLiteral("Informe o título do relatório:"),
                                  QLineEdit::Normal, m_title->text(), &ok);
        if (!ok)
            return;
        const QString path = saveAs(title);
        TMessagePresenter::current().showInformation(
            QStringLiteral("Relatório gravado no arquivo '%1'.").arg(path));
    });
}
