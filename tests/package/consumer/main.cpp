// Shows a browse table from the installed package on a market backend of its own.
//   tt_consumer PREFIX
// Exits 0 when the table lists the backend's instruments, subscribes to its pushes and
// paints, and the data folder is the one installed under PREFIX.

#include <browse/CBrowseWidget.h>
#include <host/data/MarketBackend.h>
#include <host/data/StockKey.h>
#include <host/data/StockManager.h>
#include <host/data/UniverseData.h>
#include <host/toolkit/UiResource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>

namespace {

// Plain Qt keywords: the package must leave them usable.
class Pinger : public QObject {
    Q_OBJECT
public:
    int received = 0;
signals:
    void ping(int n);
public slots:
    void onPing(int n) { received += n; }

public:
    void fire() { emit ping(1); }
};

class TinyBackend final : public TC::IMarketBackend {
public:
    bool loadCatalogue(const QString&, uint64_t, int, TC::CUniverseData& out, QString&) override
    {
        for (const char* code : {"600000", "600001"}) {
            auto d = std::make_shared<ttservice::CInstrumentDetail>();
            d->market = QStringLiteral("SH");
            d->code = QString::fromLatin1(code);
            d->name = QStringLiteral("Stock ") + d->code;
            d->key = XP::nvStockKey(d->market, d->code);
            out.instruments.push_back(d);
        }
        return true;
    }

    quoter::QuoterAllDataPtr lastQuote(const std::string& market, const std::string& code) override
    {
        ++quoteReads;
        if (market != "SH" || (code != "600000" && code != "600001"))
            return nullptr;
        auto q = std::make_shared<quoter::QuoterAllData>();
        q->last = 10.5;
        q->preClose = 10.0;
        q->volume = 1000;
        return q;
    }

    int subscribe(const dorn::PushQuoteParam& param, PushCallback callback, EPushMode) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_subs[m_next] = std::move(callback);
        return m_next++;
    }

    bool unsubscribe(int id) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_subs.erase(id) > 0;
    }

    int subscriptionCount() const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(m_subs.size());
    }

    std::atomic<int> quoteReads{0};

private:
    mutable std::mutex m_mutex;
    std::map<int, PushCallback> m_subs;
    int m_next = 1;
};

int fail(const char* what)
{
    std::fprintf(stderr, "tt_consumer: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return fail("usage: tt_consumer PREFIX");
    QApplication app(argc, argv);

    Pinger pinger;
    QObject::connect(&pinger, &Pinger::ping, &pinger, &Pinger::onPing);
    pinger.fire();
    if (pinger.received != 1)
        return fail("signal not delivered");

    const QString expected =
        QFileInfo(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/share/ttbrowse"))
            .canonicalFilePath();
    if (expected.isEmpty() || QFileInfo(XP::CUiResource::dataDir()).canonicalFilePath() != expected)
        return fail(qPrintable(QStringLiteral("data folder %1, expected under %2")
                                   .arg(XP::CUiResource::dataDir(), expected)));

    auto backend = std::make_shared<TinyBackend>();
    TC::setMarketBackend(backend);
    TC::CStockManager* stocks = TC::CStockManager::instance();
    if (stocks->allInstruments().size() != 2)
        return fail("the catalogue does not come from the backend");

    TC::CBrowseWidget widget;
    widget.resize(800, 300);
    TC::CBrowseWidget::InstrumentList list;
    for (const auto& d : stocks->allInstruments())
        list.append(d);
    widget.setStockList(list, true);
    widget.show();
    widget.request();
    QElapsedTimer waited;
    waited.start();
    while (backend->subscriptionCount() == 0 && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    if (widget.getStockListSize() != 2)
        return fail("the table does not list the backend's instruments");
    if (backend->quoteReads.load() == 0)
        return fail("no quote was read from the backend");
    if (backend->subscriptionCount() == 0)
        return fail("the table did not subscribe to the backend's pushes");
    const QPixmap shot = widget.grab();
    if (shot.isNull())
        return fail("the table did not paint");
    widget.unrequest();
    std::printf("rows %d, quote reads %d, data %s\n", widget.getStockListSize(),
                backend->quoteReads.load(), qPrintable(XP::CUiResource::dataDir()));
    return 0;
}

#include "main.moc"
