#include "TReportDesignerWindow.h"

#include "EFrameworkError.h"
#include "TEventGuard.h"
#include "TParams.h"
#include "TReportColumnList_p.h"
#include "TReportDesignModel.h"
#include "TReportParameters.h"
#include "TReportQueryProbe.h"
#include "TSqlEditor_p.h"
#include "TUserReports.h"
#include "TWindowPlacement.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>

namespace {

using Format = TReportDefinition::Format;
using Column = TReportDefinition::Column;

struct FormatName
{
    Format format;
    const char* key;
    const char* label;
};

const FormatName formats[] = {{Format::Text, "text", "Texto"},
                              {Format::Date, "date", "Data (dd/mm/aaaa)"},
                              {Format::Money, "money", "Valor (1.234,56)"},
                              {Format::Integer, "integer", "Número"},
                              {Format::CnpjCpf, "cnpjcpf", "CNPJ/CPF"}};

int formatIndex(Format f)
{
    for (int i = 0; i < int(std::size(formats)); ++i)
        if (formats[i].format == f)
            return i;
    return 0;
}

const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};

int alignmentIndex(Qt::Alignment a)
{
    return (a & Qt::AlignRight) ? 2 : (a & Qt::AlignHCenter) ? 1 : 0;
}

// "E=Entrada; S=Saída"
QString valuesText(const QMap<QString, QString>& values)
{
    QStringList parts;
    for (auto it = values.begin(); it != values.end(); ++it)
        parts << it.key() + u'=' + it.value();
    return parts.join(QStringLiteral("; "));
}

QMap<QString, QString> parseValues(const QString& text)
{
    QMap<QString, QString> out;
    for (const QString& part : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq <= 0)
            throw EFrameworkError(
                QStringLiteral("Tabela de valores inválida em '%1' (use VALOR=Texto; ...).")
                    .arg(part.trimmed()));
        out.insert(part.left(eq).trimmed(), part.mid(eq + 1).trimmed());
    }
    return out;
}

// "CDCLIFOR:cnpjcpf, NMCLIFOR": the fields of a group header, each with its format.
QString groupText(const TReportDefinition::Group& g)
{
    QStringList parts;
    for (const Column& c : g.textColumns)
        parts << (c.format == Format::Text
                      ? c.field
                      : c.field + u':' + QLatin1String(formats[formatIndex(c.format)].key));
    return parts.join(QStringLiteral(", "));
}

QList<Column> parseGroupText(const QString& text, const QList<Column>& columns)
{
    QList<Column> out;
    for (const QString& raw : text.split(u',', Qt::SkipEmptyParts)) {
        const QString part = raw.trimmed();
        Column c;
        c.field = part.section(u':', 0, 0).trimmed();
        c.title = c.field;
        for (const Column& col : columns)
            if (col.field.compare(c.field, Qt::CaseInsensitive) == 0) {
                c.title = col.title;
                c.format = col.format;
            }
        const QString key = part.section(u':', 1).trimmed();
        if (!key.isEmpty()) {
            const auto it =
                std::find_if(std::begin(formats), std::end(formats),
                             [&](const FormatName& f) { return key == QLatin1String(f.key); });
            if (it == std::end(formats))
                throw EFrameworkError(QStringLiteral("Formato '%1' desconhecido.").arg(key));
            c.format = it->format;
        }
        out << c;
    }
    return out;
}

QStringList checkedItems(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            out << list->item(i)->data(Qt::UserRole).toString();
    return out;
}

void fillChecks(QListWidget* list, const QList<Column>& columns, const QStringList& checked)
{
    list->clear();
    for (const Column& c : columns) {
        if (c.format != Format::Money && c.format != Format::Integer)
            continue;
        auto* item = new QListWidgetItem(QStringLiteral("%1 (%2)").arg(c.title, c.field), list);
        item->setData(Qt::UserRole, c.field);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(checked.contains(c.field, Qt::CaseInsensitive) ? Qt::Checked
                                                                           : Qt::Unchecked);
    }
}

} // namespace

TReportDesignerWindow::TReportDesignerWindow(const TReportDefinition& definition,
                                             TBeforeGetQueryParamsEvent beforeGetQueryParams,
                                             const QString& shippedDirectory, QWidget* parent)
    : QMainWindow(parent), m_model(new TReportDesignModel(definition, shippedDirectory, this)),
      m_params(std::move(beforeGetQueryParams)), m_previewTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("frmReportDesigner"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    TWindowPlacement::restore(this, objectName(), QSize(1280, 780));

    m_tabs = new QTabWidget;
    m_tabs->addTab(buildColumnsTab(), QStringLiteral("Colunas"));
    m_tabs->addTab(buildGroupsTab(), QStringLiteral("Grupos, ordem e totais"));
    m_tabs->addTab(buildPageTab(), QStringLiteral("Página"));
    m_tabs->addTab(buildQueryTab(), QStringLiteral("Consulta"));

    auto* previewBox = new QWidget;
    auto* previewLayout = new QVBoxLayout(previewBox);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    m_previewNote = new QLabel(QStringLiteral("Primeira página"));
    m_previewNote->setWordWrap(true);
    m_preview = new QLabel;
    m_preview->setObjectName(QStringLiteral("imgPreview"));
    m_preview->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    m_previewScroll = new QScrollArea;
    m_previewScroll->setWidget(m_preview);
    m_previewScroll->setWidgetResizable(true);
    m_previewScroll->setBackgroundRole(QPalette::Dark);
    previewLayout->addWidget(m_previewNote);
    previewLayout->addWidget(m_previewScroll, 1);

    auto* splitter = new QSplitter;
    splitter->addWidget(m_tabs);
    splitter->addWidget(previewBox);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({620, 640});
    setCentralWidget(splitter);
    buildActions();

    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(300);
    connect(m_previewTimer, &QTimer::timeout, this, &TReportDesignerWindow::refreshPreview);
    connect(m_model, &TReportDesignModel::changed, this, [this] {
        // A changed query (typed, undone) brings its own fields.
        if (m_model->definition().SQL() != m_fieldsOf)
            readFields();
        refresh();
        m_previewTimer->start();
    });
    connect(m_model, &TReportDesignModel::saved, this, &TReportDesignerWindow::reportsChanged);
    readFields();
    refresh();
    m_previewTimer->start();
}

TReportDesignerWindow::~TReportDesignerWindow() = default;

void TReportDesignerWindow::allValues(TParams& params, bool& handled)
{
    if (const auto& all = TReportParameters::installed().allValues)
        all(params, handled);
}

void TReportDesignerWindow::guarded(const std::function<void()>& edit)
{
    if (m_refreshing)
        return;
    if (!TEventGuard::run(edit))
        refresh();
}

QWidget* TReportDesignerWindow::buildColumnsTab()
{
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);

    auto* fieldsBox = new QGroupBox(QStringLiteral("Campos da consulta"));
    auto* fieldsLayout = new QVBoxLayout(fieldsBox);
    m_fieldList = new QListWidget;
    m_fieldList->setObjectName(QStringLiteral("lstCampos"));
    auto* add = new QPushButton(QStringLiteral("Incluir →"));
    fieldsLayout->addWidget(m_fieldList, 1);
    fieldsLayout->addWidget(add);
    const auto addField = [this] {
        if (QListWidgetItem* item = m_fieldList->currentItem())
            guarded([&] {
                const int at = currentColumn();
                m_model->addColumn(item->data(Qt::UserRole).toString(), at < 0 ? -1 : at + 1);
            });
    };
    connect(add, &QPushButton::clicked, this, addField);
    connect(m_fieldList, &QListWidget::itemDoubleClicked, this, addField);

    auto* right = new QVBoxLayout;
    m_columns = new TReportColumnList;
    m_columns->setObjectName(QStringLiteral("grdColunas"));
    m_columns->setHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Título"),
                                QStringLiteral("Largura"), QStringLiteral("Formato"),
                                QStringLiteral("Visível")});
    m_columns->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_columns->OnMove = [this](int from, int to) {
        guarded([&] { m_model->moveColumn(from, to); });
        if (QTreeWidgetItem* item = m_columns->topLevelItem(to))
            m_columns->setCurrentItem(item);
    };
    m_columns->OnRemove = [this](int row) { guarded([&] { m_model->removeColumn(row); }); };
    connect(m_columns, &QTreeWidget::currentItemChanged, this,
            &TReportDesignerWindow::refreshColumnEditor);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const QString& text, std::function<void(int)> act) {
        auto* b = new QPushButton(text);
        connect(b, &QPushButton::clicked, this, [this, act] {
            const int row = currentColumn();
            if (row >= 0)
                act(row);
        });
        buttons->addWidget(b);
    };
    button(QStringLiteral("Subir"), [this](int row) { m_columns->OnMove(row, row - 1); });
    button(QStringLiteral("Descer"), [this](int row) { m_columns->OnMove(row, row + 1); });
    button(QStringLiteral("Excluir"), [this](int row) { m_columns->OnRemove(row); });
    buttons->addStretch();

    auto* editor = new QGroupBox(QStringLiteral("Coluna selecionada"));
    auto* form = new QFormLayout(editor);
    m_colTitle = new QLineEdit;
    m_colWidth = new QDoubleSpinBox;
    m_colWidth->setRange(0.5, 100);
    m_colWidth->setSingleStep(0.5);
    m_colAlign = new QComboBox;
    m_colAlign->addItems(
        {QStringLiteral("Esquerda"), QStringLiteral("Centro"), QStringLiteral("Direita")});
    m_colFormat = new QComboBox;
    for (const FormatName& f : formats)
        m_colFormat->addItem(QString::fromUtf8(f.label));
    m_colValues = new QLineEdit;
    m_colValues->setPlaceholderText(QStringLiteral("E=Entrada; S=Saída"));
    m_colVisible = new QCheckBox(QStringLiteral("Impressa"));
    form->addRow(QStringLiteral("Título:"), m_colTitle);
    form->addRow(QStringLiteral("Largura:"), m_colWidth);
    form->addRow(QStringLiteral("Alinhamento:"), m_colAlign);
    form->addRow(QStringLiteral("Formato:"), m_colFormat);
    form->addRow(QStringLiteral("Valores:"), m_colValues);
    form->addRow(QString(), m_colVisible);
    const auto onColumn = [this](const std::function<void(int)>& act) {
        const int row = currentColumn();
        if (row >= 0)
            guarded([&] { act(row); });
    };
    connect(m_colTitle, &QLineEdit::textEdited, this, [this, onColumn](const QString& text) {
        onColumn([&](int row) { m_model->setColumnTitle(row, text); });
    });
    connect(m_colWidth, &QDoubleSpinBox::valueChanged, this, [this, onColumn](double value) {
        onColumn([&](int row) { m_model->setColumnWidth(row, value); });
    });
    connect(m_colAlign, &QComboBox::currentIndexChanged, this, [this, onColumn](int index) {
        onColumn([&](int row) { m_model->setColumnAlignment(row, alignments[index]); });
    });
    connect(m_colFormat, &QComboBox::currentIndexChanged, this, [this, onColumn](int index) {
        onColumn([&](int row) { m_model->setColumnFormat(row, formats[index].format); });
    });
    connect(m_colValues, &QLineEdit::editingFinished, this, [this, onColumn] {
        onColumn([&](int row) { m_model->setColumnValues(row, parseValues(m_colValues->text())); });
    });
    connect(m_colVisible, &QCheckBox::toggled, this, [this, onColumn](bool on) {
        onColumn([&](int row) { m_model->setColumnVisible(row, on); });
    });

    right->addWidget(m_columns, 1);
    right->addLayout(buttons);
    right->addWidget(editor);
    layout->addWidget(fieldsBox, 1);
    layout->addLayout(right, 3);
    return page;
}

QWidget* TReportDesignerWindow::buildGroupsTab()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* sortBox = new QGroupBox(QStringLiteral("Ordem das linhas"));
    auto* sortLayout = new QHBoxLayout(sortBox);
    m_sort = new QLineEdit;
    m_sort->setPlaceholderText(
        QStringLiteral("DTENTRADA, NRDOCUMENTO DESC (vazio: a da consulta)"));
    auto* sortApply = new QPushButton(QStringLiteral("Aplicar"));
    sortLayout->addWidget(m_sort, 1);
    sortLayout->addWidget(sortApply);
    const auto applySort = [this] {
        guarded([this] {
            QStringList sort;
            for (const QString& item : m_sort->text().split(u',', Qt::SkipEmptyParts))
                sort << item.simplified();
            m_model->setSort(sort);
        });
    };
    connect(sortApply, &QPushButton::clicked, this, applySort);
    connect(m_sort, &QLineEdit::returnPressed, this, applySort);
    layout->addWidget(sortBox);

    auto* groups = new QHBoxLayout;
    for (int level = 0; level < 2; ++level) {
        auto* box =
            new QGroupBox(level == 0 ? QStringLiteral("Grupo") : QStringLiteral("Subgrupo"));
        auto* form = new QFormLayout(box);
        m_groupField[level] = new QComboBox;
        m_groupField[level]->setEditable(true);
        m_groupCaption[level] = new QLineEdit;
        m_groupCaption[level]->setPlaceholderText(QStringLiteral("Cliente/Fornecedor:"));
        m_groupText[level] = new QLineEdit;
        m_groupText[level]->setPlaceholderText(QStringLiteral("CDCLIFOR:cnpjcpf, NMCLIFOR"));
        m_groupFooter[level] = new QLineEdit;
        m_groupFooter[level]->setPlaceholderText(QStringLiteral("Total do cliente/fornecedor"));
        m_groupSums[level] = new QListWidget;
        m_groupSums[level]->setMaximumHeight(110);
        auto* apply = new QPushButton(QStringLiteral("Aplicar"));
        form->addRow(QStringLiteral("Campo:"), m_groupField[level]);
        form->addRow(QStringLiteral("Rótulo:"), m_groupCaption[level]);
        form->addRow(QStringLiteral("Texto do cabeçalho:"), m_groupText[level]);
        form->addRow(QStringLiteral("Rodapé:"), m_groupFooter[level]);
        form->addRow(QStringLiteral("Subtotais:"), m_groupSums[level]);
        form->addRow(QString(), apply);
        connect(apply, &QPushButton::clicked, this, [this, level] { applyGroup(level); });
        groups->addWidget(box);
    }
    layout->addLayout(groups);

    auto* totalsBox = new QGroupBox(QStringLiteral("Totais gerais"));
    auto* totals = new QFormLayout(totalsBox);
    m_totalFields = new QListWidget;
    m_totalFields->setMaximumHeight(120);
    m_totalCaption = new QLineEdit;
    m_totalCaption->setPlaceholderText(QStringLiteral("Total geral"));
    m_countLabel = new QLineEdit;
    m_countLabel->setPlaceholderText(QStringLiteral("Documentos (vazio: sem contagem)"));
    auto* applyTotals = new QPushButton(QStringLiteral("Aplicar"));
    totals->addRow(QStringLiteral("Somar:"), m_totalFields);
    totals->addRow(QStringLiteral("Rótulo:"), m_totalCaption);
    totals->addRow(QStringLiteral("Contagem:"), m_countLabel);
    totals->addRow(QString(), applyTotals);
    connect(applyTotals, &QPushButton::clicked, this, &TReportDesignerWindow::applyTotals);
    layout->addWidget(totalsBox);
    layout->addStretch();
    return page;
}

QWidget* TReportDesignerWindow::buildPageTab()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    m_title = new QLineEdit;
    m_title->setObjectName(QStringLiteral("edtTitulo"));
    m_orientation = new QComboBox;
    m_orientation->addItems({QStringLiteral("Retrato"), QStringLiteral("Paisagem")});
    m_filterLine = new QCheckBox(QStringLiteral("Linha do filtro no cabeçalho da página"));
    form->addRow(QStringLiteral("Título:"), m_title);
    form->addRow(QStringLiteral("Orientação:"), m_orientation);
    form->addRow(QString(), m_filterLine);
    connect(m_title, &QLineEdit::textEdited, this,
            [this](const QString& text) { guarded([&] { m_model->setTitle(text); }); });
    connect(m_orientation, &QComboBox::currentIndexChanged, this, [this](int index) {
        guarded([&] {
            m_model->setOrientation(index == 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
        });
    });
    connect(m_filterLine, &QCheckBox::toggled, this,
            [this](bool on) { guarded([&] { m_model->setFilterLine(on); }); });
    return page;
}

QWidget* TReportDesignerWindow::buildQueryTab()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* dialects = new QTabWidget;
    m_sql = new TSqlEditor(TReportDesignModel::parameterNames());
    m_sql->setObjectName(QStringLiteral("memConsulta"));
    m_sqlIb = new TSqlEditor(TReportDesignModel::parameterNames());
    m_sqlIb->setObjectName(QStringLiteral("memConsultaIB"));
    m_sqlIb->setPlaceholderText(QStringLiteral("Vazio: o Firebird usa a consulta padrão."));
    dialects->addTab(m_sql, QStringLiteral("Padrão"));
    dialects->addTab(m_sqlIb, QStringLiteral("Firebird"));
    auto* buttons = new QHBoxLayout;
    auto* apply = new QPushButton(QStringLiteral("Aplicar consulta"));
    auto* test = new QPushButton(QStringLiteral("Testar consulta"));
    test->setObjectName(QStringLiteral("btnTestarConsulta"));
    buttons->addWidget(apply);
    buttons->addWidget(test);
    buttons->addStretch();
    m_testMessage = new QLabel;
    m_testMessage->setObjectName(QStringLiteral("lblTesteConsulta"));
    m_testMessage->setWordWrap(true);
    m_testMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_testRows = new QTableWidget;
    m_testRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_testRows->setWordWrap(false);
    m_testRows->verticalHeader()->setDefaultSectionSize(m_testRows->fontMetrics().height() + 6);
    layout->addWidget(dialects, 3);
    layout->addLayout(buttons);
    layout->addWidget(m_testMessage);
    layout->addWidget(m_testRows, 2);
    connect(apply, &QPushButton::clicked, this, [this] { guarded([this] { applyQuery(); }); });
    connect(test, &QPushButton::clicked, this, [this] { guarded([this] { testQuery(); }); });
    return page;
}

void TReportDesignerWindow::buildActions()
{
    QUndoStack* undo = m_model->undoStack();
    actUndo = undo->createUndoAction(this, QStringLiteral("Desfazer"));
    actUndo->setShortcut(QKeySequence::Undo);
    actRedo = undo->createRedoAction(this, QStringLiteral("Refazer"));
    actRedo->setShortcut(QKeySequence::Redo);
    actSave = new QAction(QStringLiteral("Salvar"), this);
    actSave->setShortcut(QKeySequence::Save);
    actSaveAs = new QAction(QStringLiteral("Salvar como…"), this);
    actRename = new QAction(QStringLiteral("Renomear…"), this);
    actDelete = new QAction(QStringLiteral("Excluir relatório"), this);
    actTestQuery = new QAction(QStringLiteral("Testar consulta"), this);
    connect(actSave, &QAction::triggered, this, [this] { guarded([this] { save(); }); });
    connect(actSaveAs, &QAction::triggered, this, [this] { guarded([this] { saveAs(); }); });
    connect(actRename, &QAction::triggered, this, [this] { guarded([this] { rename(); }); });
    connect(actDelete, &QAction::triggered, this, [this] { guarded([this] { remove(); }); });
    connect(actTestQuery, &QAction::triggered, this, [this] {
        guarded([this] {
            m_tabs->setCurrentIndex(3);
            testQuery();
        });
    });
    QToolBar* bar = addToolBar(QStringLiteral("Relatório"));
    bar->setObjectName(QStringLiteral("tlbDesigner"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (QAction* a : {actUndo, actRedo})
        bar->addAction(a);
    bar->addSeparator();
    for (QAction* a : {actSave, actSaveAs, actRename, actDelete})
        bar->addAction(a);
    bar->addSeparator();
    bar->addAction(actTestQuery);
    statusBar();
}

int TReportDesignerWindow::currentColumn() const
{
    return m_columns->currentItem() ? m_columns->indexOfTopLevelItem(m_columns->currentItem()) : -1;
}

void TReportDesignerWindow::fillFieldList()
{
    // A clerk knows a field by the title it prints under; the name stays for the query.
    QHash<QString, QString> titles;
    const TReportDefinition& d = m_model->definition();
    for (const TReportDefinition::Column& c : d.Columns())
        titles.insert(c.field.toUpper(), c.title);
    for (const TReportDefinition::Group& g : {d.GroupBy(), d.SubGroup()})
        for (const TReportDefinition::Column& c : g.textColumns)
            titles.insert(c.field.toUpper(), c.title);
    m_fieldList->clear();
    for (const QString& field : std::as_const(m_fields)) {
        const QString title = titles.value(field.toUpper());
        auto* item = new QListWidgetItem(
            title.isEmpty() ? field : QStringLiteral("%1 (%2)").arg(title, field), m_fieldList);
        item->setData(Qt::UserRole, field);
        item->setToolTip(field);
    }
}

void TReportDesignerWindow::readFields()
{
    m_fieldsOf = m_model->definition().SQL();
    const TReportQueryProbe::Result r =
        TReportQueryProbe::test(m_model->definition(), m_params, 0, 0);
    m_fields = r.fields;
    fillFieldList();
    for (int level = 0; level < 2; ++level) {
        const QString current = m_groupField[level]->currentText();
        m_groupField[level]->clear();
        m_groupField[level]->addItem(QString());
        m_groupField[level]->addItems(m_fields);
        m_groupField[level]->setCurrentText(current);
    }
    if (r.ok)
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(r.message);
}

void TReportDesignerWindow::refresh()
{
    m_refreshing = true;
    const TReportDefinition& d = m_model->definition();
    const QString shipped = m_model->canSave() ? QString() : QStringLiteral(" (somente leitura)");
    setWindowTitle(QStringLiteral("Editor de Relatórios - %1%2%3")
                       .arg(d.Name().isEmpty() ? QStringLiteral("novo relatório") : d.Name(),
                            shipped,
                            m_model->undoStack()->isClean() ? QString() : QStringLiteral(" *")));
    actSave->setText(m_model->canSave() ? QStringLiteral("Salvar")
                                        : QStringLiteral("Salvar (como novo)"));
    actRename->setEnabled(m_model->canSave());
    actDelete->setEnabled(m_model->canSave());

    const int row = currentColumn();
    m_columns->clear();
    for (const Column& c : d.Columns()) {
        auto* item = new QTreeWidgetItem(m_columns);
        item->setText(0, c.field);
        item->setText(1, c.title);
        item->setText(2, QString::number(c.width));
        item->setText(3, QString::fromUtf8(formats[formatIndex(c.format)].label));
        item->setText(4, c.visible ? QStringLiteral("Sim") : QStringLiteral("Não"));
        item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled);
    }
    if (m_columns->topLevelItemCount() > 0)
        m_columns->setCurrentItem(
            m_columns->topLevelItem(std::clamp(row, 0, m_columns->topLevelItemCount() - 1)));
    m_refreshing = false;
    refreshColumnEditor();
    m_refreshing = true;

    m_sort->setText(d.Sort().join(QStringLiteral(", ")));
    const TReportDefinition::Group groups[] = {d.GroupBy(), d.SubGroup()};
    for (int level = 0; level < 2; ++level) {
        const TReportDefinition::Group& g = groups[level];
        m_groupField[level]->setCurrentText(g.field);
        m_groupCaption[level]->setText(g.caption);
        m_groupText[level]->setText(g.field.isEmpty() ? QString() : groupText(g));
        m_groupFooter[level]->setText(g.footer);
        fillChecks(m_groupSums[level], d.Columns(),
                   g.sums.isEmpty() ? d.TotalsBy().fields : g.sums);
    }
    fillChecks(m_totalFields, d.Columns(), d.TotalsBy().fields);
    m_totalCaption->setText(d.TotalsBy().caption);
    m_countLabel->setText(d.TotalsBy().countLabel);
    if (m_title->text() != d.Title())
        m_title->setText(d.Title());
    m_orientation->setCurrentIndex(d.Orientation() == QPageLayout::Landscape ? 1 : 0);
    m_filterLine->setChecked(d.FilterLine());
    const QString sql = m_model->query(TReportDesignModel::Dialect::Default);
    if (m_sql->toPlainText() != sql)
        m_sql->setPlainText(sql);
    const QString sqlIb = m_model->query(TReportDesignModel::Dialect::Firebird);
    if (m_sqlIb->toPlainText() != sqlIb)
        m_sqlIb->setPlainText(sqlIb);
    m_refreshing = false;
}

void TReportDesignerWindow::refreshColumnEditor()
{
    if (m_refreshing)
        return;
    m_refreshing = true;
    const int row = currentColumn();
    const bool has = row >= 0 && row < m_model->definition().Columns().size();
    for (QWidget* w : std::initializer_list<QWidget*>{m_colTitle, m_colWidth, m_colAlign,
                                                      m_colFormat, m_colValues, m_colVisible})
        w->setEnabled(has);
    if (has) {
        const Column c = m_model->definition().Columns()[row];
        if (m_colTitle->text() != c.title)
            m_colTitle->setText(c.title);
        m_colWidth->setValue(c.width);
        m_colAlign->setCurrentIndex(alignmentIndex(c.alignment));
        m_colFormat->setCurrentIndex(formatIndex(c.format));
        m_colValues->setText(valuesText(c.values));
        m_colVisible->setChecked(c.visible);
    }
    m_refreshing = false;
}

void TReportDesignerWindow::applyGroup(int level)
{
    guarded([&] {
        TReportDefinition::Group g;
        g.field = m_groupField[level]->currentText().trimmed();
        g.caption = m_groupCaption[level]->text();
        g.textColumns = parseGroupText(m_groupText[level]->text(), m_model->definition().Columns());
        g.footer = m_groupFooter[level]->text();
        const QStringList sums = checkedItems(m_groupSums[level]);
        // All ticked reads as "every total", which follows later changes of the totals.
        if (sums.size() != m_groupSums[level]->count())
            g.sums = sums;
        m_model->setGroup(level, g);
    });
}

void TReportDesignerWindow::applyTotals()
{
    guarded([this] {
        m_model->setTotals(checkedItems(m_totalFields), m_totalCaption->text(),
                           m_countLabel->text());
    });
}

void TReportDesignerWindow::applyQuery()
{
    m_model->setQuery(TReportDesignModel::Dialect::Default, m_sql->toPlainText());
    m_model->setQuery(TReportDesignModel::Dialect::Firebird, m_sqlIb->toPlainText());
    readFields();
}

void TReportDesignerWindow::testQuery()
{
    // The texts being typed are tested, not only the ones applied.
    TReportDefinition d = m_model->definition();
    TReportDesignModel probe(d, m_model->shippedDirectory());
    probe.setQuery(TReportDesignModel::Dialect::Default, m_sql->toPlainText());
    probe.setQuery(TReportDesignModel::Dialect::Firebird, m_sqlIb->toPlainText());
    const TReportQueryProbe::Result r = TReportQueryProbe::test(probe.definition(), m_params);
    m_testMessage->setText(r.message);
    m_testRows->clear();
    m_testRows->setColumnCount(int(r.fields.size()));
    m_testRows->setHorizontalHeaderLabels(r.fields);
    m_testRows->setRowCount(int(r.firstRows.size()));
    for (int i = 0; i < r.firstRows.size(); ++i)
        for (int j = 0; j < r.firstRows[i].size(); ++j)
            m_testRows->setItem(i, j, new QTableWidgetItem(r.firstRows[i][j].toString()));
    if (r.ok && r.fields != m_fields) {
        m_fields = r.fields;
        fillFieldList();
    }
}

QString TReportDesignerWindow::queryTestMessage() const
{
    return m_testMessage->text();
}

void TReportDesignerWindow::refreshPreview()
{
    m_previewTimer->stop();
    QString why;
    // The page fills the pane's width: A4 is 595 by 842 points.
    const double pageWidth =
        m_model->definition().Orientation() == QPageLayout::Landscape ? 842.0 : 595.0;
    const double width = std::max(200, m_previewScroll->viewport()->width() - 16);
    const QImage page = TReportQueryProbe::firstPage(m_model->definition(), m_params,
                                                     72.0 * width / pageWidth, &why);
    if (page.isNull()) {
        m_preview->setPixmap({});
        m_preview->setText(why);
        m_previewNote->setText(QStringLiteral("Primeira página"));
        return;
    }
    m_preview->setPixmap(QPixmap::fromImage(page));
    m_previewNote->setText(QStringLiteral("Primeira página, com os dados do filtro"));
}

void TReportDesignerWindow::save()
{
    if (!m_model->canSave()) {
        saveAs();
        return;
    }
    m_model->save();
    refresh();
}

QString TReportDesignerWindow::askTitle(const QString& initial, bool& ok)
{
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgTitulo"));
    dialog.setWindowTitle(m_saveAsCaption);
    dialog.setLabelText(m_saveAsPrompt);
    dialog.setTextValue(initial);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancelar"));
    // Wide enough for the prompt, the window title and a long report title.
    const QFontMetrics fm = dialog.fontMetrics();
    const int text =
        std::max({fm.horizontalAdvance(m_saveAsPrompt), fm.horizontalAdvance(initial),
                  fm.horizontalAdvance(m_saveAsCaption) + 80, fm.averageCharWidth() * 50});
    dialog.resize(text + 60, dialog.sizeHint().height());
    ok = dialog.exec() == QDialog::Accepted;
    return dialog.textValue();
}

void TReportDesignerWindow::saveAs()
{
    bool ok = false;
    const QString title = askTitle(m_model->definition().Title(), ok);
    if (!ok)
        return;
    m_model->saveAs(title);
    refresh();
}

void TReportDesignerWindow::rename()
{
    bool ok = false;
    const QString title = askTitle(m_model->definition().Name(), ok);
    if (!ok)
        return;
    const QString path = m_model->definition().FilePath();
    if (!m_model->undoStack()->isClean())
        m_model->save();
    TUserReports::rename(path, title, m_model->shippedDirectory());
    close();
    Q_EMIT reportsChanged(path);
}

void TReportDesignerWindow::remove()
{
    const TReportDefinition& d = m_model->definition();
    if (QMessageBox::question(this, QStringLiteral("Excluir relatório"),
                              QStringLiteral("Excluir o relatório '%1'?").arg(d.Name())) !=
        QMessageBox::Yes)
        return;
    const QString path = d.FilePath();
    TUserReports::remove(path);
    m_model->undoStack()->setClean();
    close();
    Q_EMIT reportsChanged(path);
}

void TReportDesignerWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    m_previewTimer->start();
}

void TReportDesignerWindow::closeEvent(QCloseEvent* event)
{
    if (!m_model->undoStack()->isClean() && isVisible()) {
        QMessageBox box(QMessageBox::Question, windowTitle(),
                        QStringLiteral("O relatório tem alterações não salvas."),
                        QMessageBox::NoButton, this);
        box.setObjectName(QStringLiteral("msgFechar"));
        QPushButton* saveButton = box.addButton(QStringLiteral("Salvar"), QMessageBox::AcceptRole);
        QPushButton* discard =
            box.addButton(QStringLiteral("Descartar"), QMessageBox::DestructiveRole);
        box.setDefaultButton(saveButton);
        box.setEscapeButton(box.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole));
        box.exec();
        bool saved = false;
        if (box.clickedButton() == saveButton)
            saved = TEventGuard::run([this] { save(); }) && m_model->undoStack()->isClean();
        if (box.clickedButton() != discard && !saved) {
            event->ignore();
            return;
        }
    }
    TWindowPlacement::save(this, objectName());
    event->accept();
    Q_EMIT closed();
}
