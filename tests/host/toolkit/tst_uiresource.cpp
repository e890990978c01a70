#include "host/toolkit/BaseHighPerformanceTable.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/UiResource.h"

#include <QtCore/QDirIterator>
#include <QtCore/QRegularExpression>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtTest/QtTest>

using namespace XP;

namespace {

// Keys the library's widgets name in their documentation; each must exist in both themes.
const char* const kDocumentedKeys[] = {
    "clr_conciseStyle_main_trade_type_bar_text_active",
    "clr_conciseStyle_main_trade_type_bar_text_inactive",
    "clr_global_equal",
    "clr_global_fall",
    "clr_global_rise",
    "clr_index_blue",
    "clr_index_purple",
    "clr_index_yellow",
    "clr_main_trade_type_bar_bg",
    "clr_main_trade_type_bar_text_active",
    "clr_main_trade_type_bar_text_inactive",
    "clr_table_split_line_header",
    "clr_table_stat_border",
    "fnt_default_normal_heavy_fix",
    "fnt_table_stat_text_default",
    "ic_clr_addsub_page_scrollbar_press",
    "ic_clr_browse_big_value",
    "ic_clr_browse_equal",
    "ic_clr_browse_fall",
    "ic_clr_browse_rise",
    "ic_clr_browse_stock_code",
    "ic_clr_browse_stock_name",
    "ic_clr_concise_addsub_page_scrollbar_press",
    "ic_clr_concise_browse_big_value",
    "ic_clr_concise_browse_equal",
    "ic_clr_concise_browse_fall",
    "ic_clr_concise_browse_rise",
    "ic_clr_concise_browse_stock_code",
    "ic_clr_concise_browse_stock_name",
    "ic_clr_concise_combinPushButton_background",
    "ic_clr_concise_scrollbar_normal",
    "ic_clr_mainwindow_split_background",
    "ic_clr_quoterbrowser_bg",
    "ic_clr_quoterbrowser_header_bg_hover",
    "ic_clr_quoterbrowser_header_bg_normal",
    "ic_clr_quoterbrowser_header_bg_selected",
    "ic_clr_quoterbrowser_header_text",
    "ic_clr_quoterbrowser_item_code",
    "ic_clr_quoterbrowser_item_name",
    "ic_clr_quoterbrowser_line_bg",
    "ic_clr_quoterbrowser_selected_line_bg",
    "ic_clr_quoterbrowser_splitter",
    "ic_clr_realtime_axis_text",
    "ic_clr_scrollbar_background",
    "ic_clr_scrollbar_hover",
    "ic_clr_scrollbar_normal",
    "ic_clr_scrollbar_press",
    "ic_clr_table_above_exercise_price_bg1",
    "ic_clr_table_background",
    "ic_clr_table_motion_rise_bg1",
    "ic_clr_table_number_background",
    "ic_clr_table_sort_noactive_split_line",
    "ic_clr_table_sort_split_line",
    "ic_clr_table_split_line",
    "ic_clr_table_text_default",
    "ic_clr_table_text_selected",
    "ic_clr_table_under_exercise_price_bg1",
    "ic_concise_fnt_table_number_default",
    "ic_concise_fnt_table_text_default",
    "ic_fnt_concise_trade_text",
    "ic_fnt_quoterbrowser_code_text",
    "ic_fnt_quoterbrowser_digital_text",
    "ic_fnt_quoterbrowser_name_text",
    "ic_fnt_quoterbrowser_text",
    "ic_fnt_table_number_default",
    "ic_fnt_table_text_default",
    "ic_img_btn_group_left_tab",
    "ic_img_btn_module_group",
    "ic_img_btn_option_browse",
    "ic_img_combin_btn",
    "img_scrollbar_slider_browse",
    "img_sys_btn_exit",
    "img_table_sort_ascending",
    "img_table_sort_descending",
    "siz_account_btn_height",
    "siz_account_btn_width_small",
    "siz_standard_table_item_height",
    "siz_standard_table_stat_text_margin",
    "tc_clr_conciseStyle_depth_bottom_group_btn_disable",
    "tc_clr_conciseStyle_depth_bottom_group_btn_hover",
    "tc_clr_conciseStyle_depth_bottom_group_btn_nomal",
    "tc_clr_conciseStyle_depth_bottom_group_btn_press",
    "tc_clr_depth_bottom_group_btn_group_bg",
    "tc_clr_depth_bottom_group_btn_txt_disable",
    "tc_clr_depth_bottom_group_btn_txt_hover",
    "tc_clr_depth_bottom_group_btn_txt_nomal",
    "tc_clr_depth_bottom_group_btn_txt_press",
    "tc_fnt_tradetype_navigator",
};

struct ThemeKeys {
    QSet<QString> colors, fonts, sizes, images;
    bool has(const QString& key) const
    {
        return colors.contains(key) || fonts.contains(key) || sizes.contains(key)
               || images.contains(key);
    }
};

ThemeKeys readTheme(const QString& name)
{
    QStringList c, f, s, i;
    ThemeKeys k;
    if (!CUiResource::readThemeKeys(name, &c, &f, &s, &i))
        return k;
    k.colors = QSet<QString>(c.begin(), c.end());
    k.fonts = QSet<QString>(f.begin(), f.end());
    k.sizes = QSet<QString>(s.begin(), s.end());
    k.images = QSet<QString>(i.begin(), i.end());
    return k;
}

// Every quoted resource key in the library's sources (tests excluded).
QSet<QString> keysInSources()
{
    QSet<QString> keys;
    const QDir root(CUiResource::dataDir() + QStringLiteral("/.."));
    const QRegularExpression re(QStringLiteral(
        "\"((?:ic_clr|ic_fnt|ic_img|ic_concise|tc_clr|tc_fnt|clr|fnt|siz|img)_[A-Za-z0-9_]+)\""));
    const QStringList dirs = {QStringLiteral("host"),   QStringLiteral("browse"),
                              QStringLiteral("view"),   QStringLiteral("position"),
                              QStringLiteral("pricet"), QStringLiteral("quoterbrowser"),
                              QStringLiteral("demo")};
    for (const QString& d : dirs) {
        QDirIterator it(root.filePath(d), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(f.readAll());
            auto m = re.globalMatch(text);
            while (m.hasNext())
                keys.insert(m.next().captured(1));
        }
    }
    return keys;
}

class Watcher : public CUiResourceChangeHandler {
public:
    int calls = 0;
    QColor seen;
    const QColor* watched = nullptr;
    void themeChanged() override
    {
        ++calls;
        if (watched)
            seen = *watched;
    }
};

} // namespace

class tst_UiResource : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QVERIFY(CUiResource::instance().loadTheme(QStringLiteral("dark"))); }

    void documentedKeysInBothThemes_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::newRow("dark") << QStringLiteral("dark");
        QTest::newRow("light") << QStringLiteral("light");
    }

    void documentedKeysInBothThemes()
    {
        QFETCH(QString, theme);
        const ThemeKeys keys = readTheme(theme);
        QVERIFY2(!keys.colors.isEmpty(), qPrintable(theme + QStringLiteral(" not readable")));
        QStringList missing;
        for (const char* k : kDocumentedKeys)
            if (!keys.has(QLatin1String(k)))
                missing << QLatin1String(k);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
    }

    void sourceKeysInBothThemes()
    {
        const QSet<QString> used = keysInSources();
        // the toolkit itself names keys, so the scan must find some
        QVERIFY(used.contains(QStringLiteral("ic_clr_table_background")));
        for (const QString& theme : {QStringLiteral("dark"), QStringLiteral("light")}) {
            const ThemeKeys keys = readTheme(theme);
            QStringList missing;
            for (const QString& k : used)
                if (!keys.has(k))
                    missing << k;
            missing.sort();
            QVERIFY2(missing.isEmpty(),
                     qPrintable(theme + QStringLiteral(": ") + missing.join(QLatin1Char(' '))));
        }
    }

    void themesHaveTheSameKeys()
    {
        const ThemeKeys dark = readTheme(QStringLiteral("dark"));
        const ThemeKeys light = readTheme(QStringLiteral("light"));
        QCOMPARE(dark.colors, light.colors);
        QCOMPARE(dark.fonts, light.fonts);
        QCOMPARE(dark.sizes, light.sizes);
        QCOMPARE(dark.images, light.images);
    }

    void darkRisesRedFallsGreen()
    {
        CUiResource& r = CUiResource::instance();
        const QColor* rise = r.getColor(QStringLiteral("ic_clr_browse_rise"));
        const QColor* fall = r.getColor(QStringLiteral("ic_clr_browse_fall"));
        QVERIFY(rise && fall);
        QVERIFY(rise->red() > rise->green() && rise->red() > rise->blue());
        QVERIFY(fall->green() > fall->red() && fall->green() > fall->blue());
        const QColor* back = r.getColor(QStringLiteral("ic_clr_table_background"));
        QVERIFY(back && back->lightness() < 40);
    }

    void unknownKeyGivesNull()
    {
        CUiResource& r = CUiResource::instance();
        QVERIFY(!r.getColor(QStringLiteral("false")));
        QVERIFY(!r.getColor(QString()));
        QCOMPARE(r.getSize(QStringLiteral("no_such_size")), 0);
        QCOMPARE(r.getFont(QStringLiteral("no_such_font")), QFont());
        QVERIFY(r.getPixmap(QStringLiteral("no_such_image"), QSize(8, 8)).isNull());
        QVERIFY(!r.getPixmap(QStringLiteral("img_sys_btn_exit"), QSize(8, 8)).isNull());
        QCOMPARE(r.getSize(QStringLiteral("siz_standard_table_item_height")), 22);
        QVERIFY(r.colorNames().contains(QStringLiteral("ic_clr_browse_rise")));
    }

    void switchKeepsPointersAndNotifies()
    {
        CUiResource& r = CUiResource::instance();
        const QColor* back = r.getColor(QStringLiteral("ic_clr_table_background"));
        QVERIFY(back);
        const QColor darkBack = *back;
        Watcher w;
        w.watched = back;
        QVERIFY(r.loadTheme(QStringLiteral("light")));
        QCOMPARE(r.themeName(), QStringLiteral("light"));
        QCOMPARE(w.calls, 1);
        // same pointer, new colour, already in place when the handler runs
        QCOMPARE(r.getColor(QStringLiteral("ic_clr_table_background")), back);
        QVERIFY(*back != darkBack);
        QCOMPARE(w.seen, *back);
        QVERIFY(back->lightness() > 200);
        QVERIFY(r.loadTheme(QStringLiteral("dark")));
        QCOMPARE(*back, darkBack);
        QCOMPARE(w.calls, 2);
    }

    void failedSwitchKeepsTheme()
    {
        CUiResource& r = CUiResource::instance();
        Watcher w;
        const QColor before = *r.getColor(QStringLiteral("ic_clr_browse_rise"));
        QVERIFY(!r.loadTheme(QStringLiteral("no_such_theme")));
        QVERIFY(!r.loadTheme(QStringLiteral("../themes/dark")));
        QVERIFY(!r.loadTheme(QString()));
        QCOMPARE(r.themeName(), QStringLiteral("dark"));
        QCOMPARE(*r.getColor(QStringLiteral("ic_clr_browse_rise")), before);
        QCOMPARE(w.calls, 0);
    }

    void tableFollowsThemeSwitch()
    {
        CBaseHighPerformanceTable table(1, nullptr, 0);
        const QColor darkBack = table.palette().color(QPalette::Base);
        QCOMPARE(darkBack,
                 *CUiResource::instance().getColor(QStringLiteral("ic_clr_table_background")));
        QVERIFY(CUiResource::instance().loadTheme(QStringLiteral("light")));
        const QColor lightBack = table.palette().color(QPalette::Base);
        QVERIFY(lightBack != darkBack);
        QCOMPARE(lightBack,
                 *CUiResource::instance().getColor(QStringLiteral("ic_clr_table_background")));
    }
};

QTEST_MAIN(tst_UiResource)
#include "tst_uiresource.moc"
