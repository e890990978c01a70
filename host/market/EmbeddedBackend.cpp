#include "host/market/EmbeddedBackend.h"

#include "host/data/MarketBackend.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/FormulaEngine.h"
#include "host/market/PushHub.h"
#include "host/market/Universe.h"

namespace ttmarket {

namespace {

class EmbeddedBackend final : public TC::IMarketBackend {
public:
    bool loadCatalogue(const QString& dataDir, uint64_t seed, int baseYmd, TC::CUniverseData& out,
                       QString& error) override
    {
        try {
            TC::CUniverse::load(dataDir, seed ? seed : TC::CUniverse::kDefaultSeed, baseYmd, out);
            return true;
        } catch (const std::exception& e) { // CDataFileError names the file and line
            error = QString::fromStdString(e.what());
            return false;
        }
    }

    quoter::QuoterAllDataPtr lastQuote(const std::string& market, const std::string& code) override
    {
        return simulator()->lastQuote(market, code);
    }

    void lastQuotes(const std::string& market, const std::vector<std::string>& codes,
                    std::vector<quoter::QuoterAllDataPtr>& out) override
    {
        simulator()->lastQuotes(market, codes, out);
    }

    std::vector<quoter::KLineData> dailyBars(const std::string& market,
                                             const std::string& code) override
    {
        return simulator()->dailyBars(market, code);
    }

    std::vector<quoter::KLineData> minuteBars(const std::string& market,
                                              const std::string& code) override
    {
        return simulator()->minuteBars(market, code);
    }

    std::vector<quoter::KLineData> minuteBarsOfDay(const std::string& market,
                                                   const std::string& code, int date) override
    {
        return simulator()->minuteBarsOfDay(market, code, date);
    }

    std::vector<quoter::QuoterAllDataPtr> ticks(const std::string& market,
                                                const std::string& code) override
    {
        return simulator()->ticks(market, code);
    }

    int subscribe(const dorn::PushQuoteParam& param, PushCallback callback, EPushMode mode) override
    {
        return simulator()->pushHub().subscribe(param, std::move(callback),
                                                mode == ePushAll ? kModeAll : kModeChanged);
    }

    bool unsubscribe(int id) override { return simulator()->pushHub().unsubscribe(id); }

    int subscriptionCount() const override { return simulator()->pushHub().count(); }

    std::vector<QString> formulaNames() override
    {
        std::vector<QString> names;
        for (const FormulaDefinition& f : builtinFormulas())
            names.push_back(QString::fromStdString(f.name));
        return names;
    }

    TC::CFormulaDetailPtr formula(const QString& name) override
    {
        const FormulaDefinition* f = findFormula(name.toStdString());
        if (!f)
            return nullptr;
        auto detail = std::make_shared<TC::CFormulaDetail>();
        detail->name = QString::fromStdString(f->name);
        detail->description = QString::fromStdString(f->description);
        for (size_t i = 0; i < f->paramNames.size(); ++i) {
            detail->paramNames.push_back(QString::fromStdString(f->paramNames[i]));
            detail->paramValues.push_back(QString::number(f->paramDefaults[i]));
        }
        for (size_t i = 0; i < f->lineNames.size(); ++i) {
            detail->lineNames.push_back(QString::fromStdString(f->lineNames[i]));
            detail->lineTypes.push_back(f->lineTypes[i]);
        }
        return detail;
    }

    bool evaluateFormula(const QString& name, const std::map<std::string, double>& params,
                         const std::vector<quoter::KLineData>& bars,
                         TC::CFormulaSeries& out) override
    {
        FormulaOutput output;
        if (!ttmarket::evaluateFormula(name.toStdString(), params, bars, output))
            return false;
        out.values = std::move(output.values);
        out.texts = std::move(output.texts);
        return true;
    }

private:
    static EmbeddedMarket* simulator() { return EmbeddedMarket::instance(); }
};

} // namespace

std::shared_ptr<TC::IMarketBackend> embeddedBackend()
{
    // never destroyed, like the market it wraps: threads may use it during exit
    static auto* backend = new std::shared_ptr<TC::IMarketBackend>(new EmbeddedBackend);
    return *backend;
}

void installEmbeddedBackend()
{
    TC::setMarketBackend(embeddedBackend());
}

} // namespace ttmarket
