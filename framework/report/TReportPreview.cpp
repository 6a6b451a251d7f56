#include "TReportPreview.h"

#include "TEventGuard.h"
#include "TReportRenderer.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

TReportPreview::TReportPreview(const TReportRenderer& renderer, QWidget* parent)
    : QDialog(parent), m_renderer(renderer), m_scroll(new QScrollArea(this)), m_image(new QLabel),
      m_pageBox(new QSpinBox), m_pageTotal(new QLabel)
{
    setObjectName(QStringLiteral("frmVisualizar"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(1100, 800);

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tlbVisualizar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto add = [&](const char* name, const QString& text, QStyle::StandardPixmap icon,
                   const QKeySequence& key, std::function<void()> handler) {
        QAction* action = bar->addAction(style()->standardIcon(icon), text);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, [handler] { TEventGuard::run(handler); });
        return action;
    };
    add("actPrimeira", QStringLiteral("Primeira"), QStyle::SP_MediaSkipBackward,
        QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { setCurrentPage(1); });
    add("actAnterior", QStringLiteral("Anterior"), QStyle::SP_MediaSeekBackward,
        QKeySequence(Qt::Key_PageUp), [this] { setCurrentPage(m_page - 1); });
    m_pageBox->setObjectName(QStringLiteral("spnPagina"));
    m_pageBox->setRange(1, qMax(1, pageCount()));
    m_pageBox->setKeyboardTracking(false);
    bar->addWidget(m_pageBox);
    m_pageTotal->setText(QStringLiteral(" de %1 ").arg(pageCount()));
    bar->addWidget(m_pageTotal);
    connect(m_pageBox, &QSpinBox::valueChanged, this,
            [this](int page) { TEventGuard::run([&] { setCurrentPage(page); }); });
    add("actProxima", QStringLiteral("Próxima"), QStyle::SP_MediaSeekForward,
        QKeySequence(Qt::Key_PageDown), [this] { setCurrentPage(m_page + 1); });
    add("actUltima", QStringLiteral("Última"), QStyle::SP_MediaSkipForward,
        QKeySequence(Qt::CTRL | Qt::Key_End), [this] { setCurrentPage(pageCount()); });
    bar->addSeparator();
    add("actReduzir", QStringLiteral("Reduzir"), QStyle::SP_ArrowDown, QKeySequence::ZoomOut,
        [this] { setZoom(m_zoom / 1.25); });
    add("actAmpliar", QStringLiteral("Ampliar"), QStyle::SP_ArrowUp, QKeySequence::ZoomIn,
        [this] { setZoom(m_zoom * 1.25); });
    add("actLargura", QStringLiteral("Ajustar à largura"), QStyle::SP_TitleBarMaxButton,
        QKeySequence(), [this] { fitWidth(); });
    bar->addSeparator();
    add("actImprimir", QStringLiteral("Imprimir…"), QStyle::SP_DialogSaveButton,
        QKeySequence::Print, [this] {
            if (OnPrint)
                OnPrint();
        });
    add("actExportar", QStringLiteral("Exportar…"), QStyle::SP_DriveFDIcon, QKeySequence(), [this] {
        if (OnExport)
            OnExport();
    });

    m_image->setObjectName(QStringLiteral("imgPagina"));
    m_image->setAlignment(Qt::AlignCenter);
    m_scroll->setObjectName(QStringLiteral("scrPagina"));
    m_scroll->setWidget(m_image);
    m_scroll->setWidgetResizable(true);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);
    showPage();
}

int TReportPreview::pageCount() const
{
    return m_renderer.pageCount();
}

void TReportPreview::setCurrentPage(int page)
{
    page = qBound(1, page, qMax(1, pageCount()));
    if (page == m_page)
        return;
    m_page = page;
    showPage();
}

void TReportPreview::setZoom(double zoom)
{
    m_fitWidth = false;
    m_zoom = qBound(0.2, zoom, 6.0);
    showPage();
}

void TReportPreview::fitWidth()
{
    m_fitWidth = true;
    showPage();
}

void TReportPreview::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_fitWidth)
        showPage();
}

void TReportPreview::showPage()
{
    const double screenDpi = logicalDpiX();
    if (m_fitWidth && m_renderer.pageSize().width() > 0) {
        const int room = m_scroll->viewport()->width() - 24;
        m_zoom = qMax(0.2, room / (m_renderer.pageSize().width() / 72.0 * screenDpi));
    }
    const qreal ratio = devicePixelRatioF();
    QImage image = m_renderer.pageImage(m_page, screenDpi * m_zoom * ratio);
    image.setDevicePixelRatio(ratio);
    m_image->setPixmap(QPixmap::fromImage(image));
    const QSignalBlocker block(m_pageBox);
    m_pageBox->setValue(m_page);
    m_scroll->verticalScrollBar()->setValue(0);
}
