#include "TReportPreview.h"

#include "TDrawnIcons.h"
#include "TEventGuard.h"
#include "TReportLastPage.h"
#include "TReportProgress.h"
#include "TReportRenderer.h"
#include "TReportRun.h"
#include "TWindowPlacement.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// A slice of the read between two turns of the event loop: short enough for the window
// to answer at once, longer while the user waits for a page not laid out yet.
constexpr int sliceMs = 30;
constexpr int waitingSliceMs = 150;
constexpr int uncountedMaximum = 9999999;

} // namespace

TReportPreview::TReportPreview(const TReportRenderer& renderer, QWidget* parent)
    : TReportPreview(renderer, nullptr, nullptr, parent)
{
}

TReportPreview::TReportPreview(TReportRenderer& renderer, TReportRun& run, QWidget* parent)
    : TReportPreview(renderer, &renderer, &run, parent)
{
}

TReportPreview::TReportPreview(const TReportRenderer& renderer, TReportRenderer* pass,
                               TReportRun* run, QWidget* parent)
    : QDialog(parent), m_renderer(renderer), m_pass(pass), m_run(run), m_reader(new QTimer(this)),
      m_scroll(new QScrollArea(this)), m_image(new QLabel), m_pageBox(new QSpinBox),
      m_pageTotal(new QLabel), m_state(nullptr)
{
    setObjectName(QStringLiteral("frmVisualizar"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    // A wide page on a small screen: the window still fits with its frame, the page
    // scrolls; the clerk's own size and place come back.
    TWindowPlacement::restore(this, objectName(), QSize(1100, 800));

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tlbVisualizar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto add = [&](const char* name, const QString& text, const QIcon& icon,
                   const QKeySequence& key, std::function<void()> handler) {
        QAction* action = bar->addAction(icon, text);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, [handler] { TEventGuard::run(handler); });
        return action;
    };
    // Print and export lead the bar: they never fall into its overflow.
    add("actImprimir", QStringLiteral("Imprimir…"), TDrawnIcons::printer(), QKeySequence::Print,
        [this] {
            // Printed and exported pages carry the total.
            if (OnPrint && countPages())
                OnPrint();
        });
    add("actExportar", QStringLiteral("Exportar…"), TDrawnIcons::save(), QKeySequence(), [this] {
        if (OnExport && countPages())
            OnExport();
    });
    bar->addSeparator();
    add("actPrimeira", QStringLiteral("Primeira"),
        style()->standardIcon(QStyle::SP_MediaSkipBackward), QKeySequence(Qt::CTRL | Qt::Key_Home),
        [this] { setCurrentPage(1); });
    add("actAnterior", QStringLiteral("Anterior"),
        style()->standardIcon(QStyle::SP_MediaSeekBackward), QKeySequence(Qt::Key_PageUp),
        [this] { setCurrentPage(m_page - 1); });
    m_pageBox->setObjectName(QStringLiteral("spnPagina"));
    m_pageBox->setKeyboardTracking(false);
    bar->addWidget(m_pageBox);
    m_pageTotal->setObjectName(QStringLiteral("lblPaginas"));
    bar->addWidget(m_pageTotal);
    connect(m_pageBox, &QSpinBox::valueChanged, this,
            [this](int page) { TEventGuard::run([&] { setCurrentPage(page); }); });
    add("actProxima", QStringLiteral("Próxima"), style()->standardIcon(QStyle::SP_MediaSeekForward),
        QKeySequence(Qt::Key_PageDown), [this] { setCurrentPage(m_page + 1); });
    add("actUltima", QStringLiteral("Última"), style()->standardIcon(QStyle::SP_MediaSkipForward),
        QKeySequence(Qt::CTRL | Qt::Key_End), [this] { showLastPage(); });
    auto* state = new QLabel(QStringLiteral(" Calculando a última página… "));
    state->setObjectName(QStringLiteral("lblEstado"));
    m_state = bar->addWidget(state);
    m_state->setObjectName(QStringLiteral("actEstado"));
    m_state->setVisible(false);
    bar->addSeparator();
    add("actReduzir", QStringLiteral("Reduzir"), style()->standardIcon(QStyle::SP_ArrowDown),
        QKeySequence::ZoomOut, [this] { setZoom(m_zoom / 1.25); });
    add("actAmpliar", QStringLiteral("Ampliar"), style()->standardIcon(QStyle::SP_ArrowUp),
        QKeySequence::ZoomIn, [this] { setZoom(m_zoom * 1.25); });
    add("actLargura", QStringLiteral("Ajustar à largura"),
        style()->standardIcon(QStyle::SP_TitleBarMaxButton), QKeySequence(),
        [this] { fitWidth(); });

    m_image->setObjectName(QStringLiteral("imgPagina"));
    m_image->setAlignment(Qt::AlignCenter);
    m_scroll->setObjectName(QStringLiteral("scrPagina"));
    m_scroll->setWidget(m_image);
    m_scroll->setWidgetResizable(true);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);
    updateTotal();
    showPage();
    if (!counted()) {
        connect(m_reader, &QTimer::timeout, this, [this] {
            if (!TEventGuard::run([this] { readOn(); }))
                stopReading();
        });
        // The rows are read on a thread of their own, and waited for a slice at a time: a
        // server that stops answering leaves the window free to page, print and close.
        m_run->setPatience(sliceMs);
        if (TEventGuard::run([this] { m_run->readAhead(); }))
            m_reader->start(0);
        else
            stopReading();
    }
}

TReportPreview::~TReportPreview()
{
    stopReading();
    // The last page's statements are stopped; the connections they use are their own.
    if (m_lastReader) {
        m_lastPage->cancel();
        m_lastReader->wait();
    }
}

int TReportPreview::pageCount() const
{
    return m_renderer.pageCount();
}

bool TReportPreview::counted() const
{
    return !m_run || m_renderer.paginated();
}

int TReportPreview::totalPages() const
{
    if (counted())
        return pageCount();
    return m_last ? m_last->pageCount() : 0;
}

void TReportPreview::setCurrentPage(int page)
{
    const int total = totalPages();
    if (total > 0)
        page = qMin(page, total);
    if (!counted() && page > pageCount() && page != total) {
        m_wanted = page;
        return;
    }
    m_wanted = 0;
    page = qBound(1, page, qMax(1, qMax(pageCount(), total)));
    if (page == m_page)
        return;
    m_page = page;
    showPage();
}

void TReportPreview::showLastPage()
{
    if (counted() || m_last) {
        setCurrentPage(totalPages());
        return;
    }
    m_wanted = -1;
    findLastPage();
}

void TReportPreview::findLastPage()
{
    if (m_lastPage || !m_run || m_run->cancelled())
        return;
    m_lastPage = std::make_unique<TReportLastPage>(*m_run, m_pass->rowsPerPageAtMost());
    if (!m_lastPage->possible())
        return;
    m_lastReader = QThread::create([page = m_lastPage.get()] { page->read(); });
    m_lastReader->setParent(this);
    connect(m_lastReader, &QThread::finished, this,
            [this] { TEventGuard::run([this] { lastPageFound(); }); });
    m_state->setVisible(true);
    // The count goes on at a quarter of its pace, leaving the cores to the page asked for.
    m_reader->setInterval(3 * sliceMs);
    m_lastReader->start();
}

void TReportPreview::lastPageFound()
{
    m_lastReader->deleteLater();
    m_lastReader = nullptr;
    m_state->setVisible(false);
    m_reader->setInterval(0);
    // A count ended first has the page already.
    if (counted())
        return;
    auto last = std::make_unique<TReportRenderer>(m_renderer.definition(), m_renderer.params(),
                                                  m_renderer.printedAt());
    if (!m_lastPage->layout(*last))
        return;
    m_last = std::move(last);
    updateTotal();
    if (m_wanted < 0) {
        m_wanted = 0;
        m_page = m_last->pageCount();
        showPage();
    }
}

void TReportPreview::readOn()
{
    const bool over =
        m_pass->continuePass(*m_run, m_wanted && !m_lastReader ? waitingSliceMs : sliceMs);
    updateTotal();
    if (over) {
        m_reader->stop();
        if (!counted())
            return;
        m_last.reset();
        // The page on screen is drawn again with its total.
        const int wanted = m_wanted;
        m_wanted = 0;
        if (wanted < 0 || wanted > pageCount())
            m_page = qMax(1, pageCount());
        else if (wanted > 0)
            m_page = wanted;
        showPage();
        Q_EMIT pagesCounted(pageCount());
        return;
    }
    if (m_wanted > 0 && m_wanted <= pageCount())
        setCurrentPage(m_wanted);
}

bool TReportPreview::countPages()
{
    if (counted())
        return true;
    if (!m_run || m_run->cancelled())
        return false;
    m_reader->stop();
    TReportProgress progress(this);
    while (!m_pass->continuePass(*m_run, sliceMs)) {
        updateTotal();
        if (!progress.step(QStringLiteral("Preparando página %1…").arg(pageCount() + 1),
                           pageCount(), 0)) {
            // The read goes on behind the window; only the print or export is dropped.
            m_reader->start(0);
            return false;
        }
    }
    readOn();
    return counted();
}

void TReportPreview::updateTotal()
{
    const QSignalBlocker block(m_pageBox);
    if (totalPages() > 0) {
        m_pageBox->setRange(1, totalPages());
        m_pageTotal->setText(QStringLiteral(" de %1 ").arg(
            QLocale(QLocale::Portuguese, QLocale::Brazil).toString(totalPages())));
    } else {
        m_pageBox->setRange(1, uncountedMaximum);
        m_pageTotal->setText(QStringLiteral(" de … "));
    }
    m_pageBox->setValue(m_wanted > 0 ? m_wanted : m_page);
}

void TReportPreview::stopReading()
{
    m_reader->stop();
    // The rows not read are given up and the statement closed.
    if (m_run && !m_renderer.paginated() && !m_run->cancelled())
        m_run->cancel();
}

void TReportPreview::done(int result)
{
    TWindowPlacement::save(this, objectName());
    stopReading();
    QDialog::done(result);
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

bool TReportPreview::eventFilter(QObject* watched, QEvent* event)
{
    // The page fits the viewport's width as laid out, not the dialog's.
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_fitWidth &&
        m_fittedWidth != m_scroll->viewport()->width())
        TEventGuard::run([this] { showPage(); });
    return QDialog::eventFilter(watched, event);
}

void TReportPreview::showPage()
{
    const double screenDpi = logicalDpiX();
    if (m_fitWidth && m_renderer.pageSize().width() > 0) {
        m_fittedWidth = m_scroll->viewport()->width();
        const int room = m_fittedWidth - 24;
        m_zoom = qMax(0.2, room / (m_renderer.pageSize().width() / 72.0 * screenDpi));
    }
    const qreal ratio = devicePixelRatioF();
    const TReportRenderer& renderer =
        m_last && !counted() && m_page == m_last->pageCount() ? *m_last : m_renderer;
    QImage image = renderer.pageImage(m_page, screenDpi * m_zoom * ratio);
    image.setDevicePixelRatio(ratio);
    m_image->setPixmap(QPixmap::fromImage(image));
    const QSignalBlocker block(m_pageBox);
    m_pageBox->setValue(m_page);
    if (m_shownPage != m_page)
        m_scroll->verticalScrollBar()->setValue(0);
    m_shownPage = m_page;
    Q_EMIT pageShown(m_page);
}
