// The demo terminal: the browse view on the embedded market.
//   tt_demo [--screenshot FILE] [--seconds N] [--sector NAME] [--theme dark|light]
//           [--option-board] [--feed nats://host:port] [--trade-date yyyy-MM-dd]
//           [--interval-days N] [--clean-layout]
// The window is the browse view (sector bar with drop-downs, search row, quote table with
// its lower pane, position table, option pane) beside a compact quote list of its sector.
// --option-board shows the option T-board of 50ETF alone instead of the window.
// --feed takes the quotes from a feed publisher (tt_feedd) on a NATS server instead of the
// embedded market; the status bar says when that feed is stale.
// --trade-date shows an earlier trading day; --interval-days adds the change-ratio column
// over that many trading days.
// The view's whole layout is saved on exit in the user's data folder and restored on
// start (the sector of --sector wins over the saved one); --clean-layout starts without it.
// With --screenshot the market runs N seconds (default 5), the window is saved as a PNG
// and a one-line summary is printed; otherwise the window stays open.

#include "demo/DemoLayout.h"
#include "demo/DemoWindow.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/MorningClock.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/EmbeddedMarket.h"
#include "host/nats/NatsBackend.h"
#include "host/toolkit/UiResource.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "view/CIndexBrowseView.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>

namespace {

// Notes when the table's page is first painted with rows in it.
class FirstPaintWatch final : public QObject {
public:
    FirstPaintWatch(TC::CBrowseWidget* browse, const QElapsedTimer& sinceStart)
        : m_browse(browse), m_sinceStart(sinceStart)
    {
        browse->table()->viewport()->installEventFilter(this);
    }
    qint64 ms() const { return m_ms; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_ms < 0 && event->type() == QEvent::Paint && m_browse->getStockListSize() > 0) {
            m_ms = m_sinceStart.elapsed();
            watched->removeEventFilter(this);
        }
        return false;
    }

private:
    TC::CBrowseWidget* m_browse;
    const QElapsedTimer& m_sinceStart;
    qint64 m_ms = -1;
};

int fail(const QString& message)
{
    std::fprintf(stderr, "tt_demo: %s\n", message.toLocal8Bit().constData());
    return 2;
}

// The bus feed's state in the status bar, once a second: current or stale, and what it
// dropped.
QString feedStatus(const ttnats::NatsBackend& bus)
{
    const ttnats::NatsFeedStats s = bus.stats();
    const uint64_t dropped = s.malformed + s.badVersion + s.unknownInstrument;
    return QStringLiteral("行情总线 %1 · 收 %2 · 丢弃 %3 · 重连 %4")
        .arg(s.stale ? QStringLiteral("已过期") : QStringLiteral("实时"))
        .arg(s.received)
        .arg(dropped)
        .arg(s.reconnects);
}

void showFeedStatus(QMainWindow& window, const std::shared_ptr<ttnats::NatsBackend>& bus)
{
    auto* label = new QLabel(&window);
    window.statusBar()->addPermanentWidget(label);
    auto* timer = new QTimer(label);
    auto update = [label, bus]() {
        label->setText(feedStatus(*bus));
        label->setStyleSheet(bus->isStale() ? QStringLiteral("color:#ff5050;")
                                            : QStringLiteral("color:#50c878;"));
    };
    QObject::connect(timer, &QTimer::timeout, label, update);
    timer->start(1000);
    update();
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceProcessStart;
    sinceProcessStart.start();
    // arguments first: a bad one is reported even where no display can be opened
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString screenshot;
    QString sector;
    QString theme = QStringLiteral("dark");
    int seconds = 5;
    bool optionBoard = false;
    std::string feedUrl;
    QDate tradeDate;
    int intervalDays = 0;
    bool cleanLayout = false;
    bool sectorGiven = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        auto value = [&](QString* out) {
            if (i + 1 >= args.size())
                return false;
            *out = args[++i];
            return true;
        };
        QString text;
        if (arg == QLatin1String("--screenshot")) {
            if (!value(&screenshot) || screenshot.isEmpty())
                return fail(QStringLiteral("--screenshot needs a file name"));
        } else if (arg == QLatin1String("--seconds")) {
            bool ok = false;
            if (!value(&text) || (seconds = text.toInt(&ok), !ok) || seconds < 1 || seconds > 3600)
                return fail(QStringLiteral("--seconds needs a whole number from 1 to 3600"));
        } else if (arg == QLatin1String("--sector")) {
            if (!value(&sector))
                return fail(QStringLiteral("--sector needs a sector name"));
            sectorGiven = true;
        } else if (arg == QLatin1String("--theme")) {
            if (!value(&theme)
                || (theme != QLatin1String("dark") && theme != QLatin1String("light")))
                return fail(QStringLiteral("--theme takes dark or light"));
        } else if (arg == QLatin1String("--option-board")) {
            optionBoard = true;
        } else if (arg == QLatin1String("--feed")) {
            if (!value(&text) || !ttnats::parseFeedUrl(text, feedUrl))
                return fail(QStringLiteral("--feed needs nats://host:port"));
        } else if (arg == QLatin1String("--trade-date")) {
            if (!value(&text)
                || !(tradeDate = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"))).isValid())
                return fail(QStringLiteral("--trade-date needs a date as yyyy-MM-dd"));
        } else if (arg == QLatin1String("--interval-days")) {
            bool ok = false;
            if (!value(&text) || (intervalDays = text.toInt(&ok), !ok) || intervalDays < 2
                || intervalDays > 250)
                return fail(QStringLiteral("--interval-days needs a whole number from 2 to 250"));
        } else if (arg == QLatin1String("--clean-layout")) {
            cleanLayout = true;
        } else {
            return fail(QStringLiteral("unknown argument %1 (use --screenshot FILE, --seconds N, "
                                       "--sector NAME, --theme dark|light, --option-board, "
                                       "--feed nats://host:port, --trade-date yyyy-MM-dd, "
                                       "--interval-days N, --clean-layout)")
                            .arg(arg));
        }
    }

    // a headless machine without a platform choice still gets its screenshot
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        if (screenshot.isEmpty())
            return fail(QStringLiteral("no display: use --screenshot FILE, or run it under Xvfb"));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    std::shared_ptr<ttnats::NatsBackend> bus;
    if (feedUrl.empty()) {
        ttmarket::installEmbeddedBackend();
    } else {
        ttnats::NatsFeedOptions options;
        options.url = feedUrl;
        std::string error;
        bus = ttnats::NatsBackend::connect(options, error);
        if (!bus)
            return fail(QString::fromStdString(error));
        TC::setMarketBackend(bus);
    }
    auto* stocks = TC::CStockManager::instance();
    if (stocks->allInstruments().empty())
        return fail(stocks->loadError().isEmpty()
                        ? QStringLiteral("the market data holds no instrument")
                        : stocks->loadError());
    if (!XP::CUiResource::instance().loadTheme(theme))
        return fail(QStringLiteral("cannot load the %1 theme").arg(theme));

    const TC::MorningClock marketClock(100);
    auto* market = ttmarket::EmbeddedMarket::instance();
    if (!bus) { // on the bus the publisher runs the market
        market->setAlwaysOpen(true);
        market->reset(ttmarket::EmbeddedMarket::kDefaultSeed);
        market->start(1000);
    }

    if (optionBoard) {
        TC::COptionPriceTBrowseWidget board;
        board.setWindowTitle(QStringLiteral("期权T型报价"));
        board.resize(1600, 700);
        if (!board.selectUnderlying(QStringLiteral("510050.SH")))
            return fail(QStringLiteral("the market lists no 50ETF options"));
        board.show();
        if (screenshot.isEmpty()) {
            const int rc = app.exec();
            market->stop();
            return rc;
        }
        int rc = 0;
        QTimer::singleShot(seconds * 1000, &board, [&]() {
            if (!board.grab().save(screenshot, "PNG"))
                rc = fail(QStringLiteral("cannot write %1").arg(screenshot));
            else
                std::printf("screenshot: %s\nsummary: %d rows, month %s\n",
                            QFileInfo(screenshot).absoluteFilePath().toLocal8Bit().constData(),
                            board.model()->size(), qPrintable(board.selectedExpiry()));
            app.quit();
        });
        app.exec();
        market->stop();
        return rc;
    }

    DemoWindow window;
    FirstPaintWatch firstPaint(window.mainTable(), sinceProcessStart);
    DemoLayout layout;
    const bool restored = !cleanLayout && loadDemoLayout(layout);
    // the saved view (or "沪深A股" without one) comes back before the window shows, so the
    // first paint is of the restored sector; the view requests once it is visible
    window.seedTargetPrices();
    applyDemoLayout(window, layout);
    if (!restored)
        window.addStartColumns();
    if (sectorGiven && !window.showSector(sector))
        return fail(QStringLiteral("unknown sector %1").arg(sector));
    if (bus)
        showFeedStatus(window, bus);
    window.show();
    window.view()->request(false);
    if (tradeDate.isValid())
        window.setTradeDate(tradeDate);
    if (intervalDays > 0)
        window.addStageColumn(intervalDays);

    if (screenshot.isEmpty()) {
        const int rc = app.exec();
        market->stop();
        saveDemoLayout(window);
        return rc;
    }
    int rc = 0;
    bool shot = false;
    auto shoot = [&]() {
        if (shot)
            return;
        shot = true;
        if (!window.grab().save(screenshot, "PNG")) {
            rc = fail(QStringLiteral("cannot write %1").arg(screenshot));
        } else {
            std::printf("screenshot: %s\n",
                        QFileInfo(screenshot).absoluteFilePath().toLocal8Bit().constData());
            std::printf("summary: %s first-paint-ms=%lld%s\n",
                        window.summary().toLocal8Bit().constData(),
                        static_cast<long long>(firstPaint.ms()),
                        bus ? qPrintable(QStringLiteral(" feed: ") + feedStatus(*bus)) : "");
        }
        app.quit();
    };
    // the picture is taken right after a refresh tick, when the order matches the values
    QTimer::singleShot(seconds * 1000, &window, [&]() {
        QObject::connect(window.mainTable(), &TC::CBrowseWidget::sigRefreshed, &window, shoot,
                         Qt::QueuedConnection);
        QTimer::singleShot(5000, &window, shoot); // a market without changes never refreshes
    });
    app.exec();
    market->stop();
    saveDemoLayout(window);
    return rc;
}
