// Shared set-up of the browse view's tests: a view over the embedded market, the user's
// folder, menu entries, row selection and answers to the dialogs a command opens.
#pragma once

#include "view/CIndexBrowseView.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/FileDialog.h"
#include "host/toolkit/MessageBox.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace viewtest {

using ttmarket::TestMarket;

// A view of the default kind; only a shown view requests quotes.
inline std::unique_ptr<TC::CIndexBrowseView> makeView(const QString& sector = QString(),
                                                      bool shown = false)
{
    auto view = std::make_unique<TC::CIndexBrowseView>(nullptr, TC::BrowseType_Default);
    view->resize(900, 600);
    if (shown)
        view->show();
    if (!sector.isEmpty())
        view->setSector(sector);
    return view;
}

// Points the user's folder at dir; the data files' universe when dataFiles is set.
inline bool setUp(const QTemporaryDir& dir, bool dataFiles)
{
    qputenv("TT_USER_DIR", dir.path().toUtf8());
    if (dataFiles) {
        ttmarket::installEmbeddedBackend();
        TestMarket::restore();
    }
    return dir.isValid() && (!dataFiles || TC::CStockManager::instance()->ensureLoaded());
}

inline QAction* menuEntry(const QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

inline QStringList texts(const QList<QAction*>& actions)
{
    QStringList out;
    for (const QAction* a : actions)
        if (!a->isSeparator())
            out.append(a->text());
    return out;
}

// Selects the rows whose key or code is listed.
inline void selectRows(TC::CBrowseWidget* table, const QStringList& keys)
{
    TC::CHpfBrowserTable* t = table->table();
    t->clearSelection();
    for (int r = 0; r < table->model()->size(); ++r)
        if (keys.contains(table->getStock(r)) || keys.contains(table->model()->rowAt(r)->code))
            t->selectionModel()->select(t->model()->index(r, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Runs f on the dialog the next modal loop shows.
inline void onModal(std::function<void(QWidget*)> f)
{
    QTimer::singleShot(0, [f] {
        QWidget* w = QApplication::activeModalWidget();
        QVERIFY(w);
        f(w);
    });
}

// The file chooser answers *path; message boxes answer Ok, their texts appended to *shown.
inline void answerDialogs(const QString* path, QStringList* shown = nullptr)
{
    XP::CFileDialog::setAnswerHook(
        [path](int, const QString&, const QString&, const QString&) { return *path; });
    XP::CMessageBox::setAnswerHook([shown](const QString&, const QString& text, int) {
        if (shown)
            shown->append(text);
        return int(XP::CMessageBox::Ok);
    });
}

inline void clearAnswers()
{
    XP::CFileDialog::clearAnswerHook();
    XP::CMessageBox::clearAnswerHook();
}

} // namespace viewtest
