#include "host/widgets/CSmartKeyboardDialog.h"

#include "host/data/IndexManager.h"
#include "host/data/Pinyin.h"
#include "host/data/StockManager.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>

namespace TC {

namespace {

CSmartKeyboardDialog*& theDialog()
{
    static CSmartKeyboardDialog* dialog = nullptr;
    return dialog;
}

CStockInfo infoOf(const ttservice::CInstrumentDetail& d)
{
    return {d.key, d.market, d.code, d.name};
}

} // namespace

CSmartKeyboardDialog* CSmartKeyboardDialog::instance()
{
    if (!theDialog()) {
        theDialog() = new CSmartKeyboardDialog;
        // widgets must go before the application object does
        qAddPostRoutine(&CSmartKeyboardDialog::destroyInstance);
    }
    return theDialog();
}

void CSmartKeyboardDialog::destroyInstance()
{
    delete theDialog();
    theDialog() = nullptr;
}

CSmartKeyboardDialog::CSmartKeyboardDialog()
    : QDialog(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint), m_pEdit(new QLineEdit(this)),
      m_pList(new QListWidget(this))
{
    setWindowTitle(QStringLiteral("选择品种"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_pEdit);
    layout->addWidget(m_pList);
    m_pList->setFocusPolicy(Qt::NoFocus);
    m_pEdit->installEventFilter(this);
    connect(m_pEdit, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(m_pList, &QListWidget::itemDoubleClicked, this, [this] { chooseCurrent(); });
    resize(260, 300);
}

CSmartKeyboardDialog::~CSmartKeyboardDialog()
{
    if (theDialog() == this)
        theDialog() = nullptr;
}

void CSmartKeyboardDialog::setSelectCallback(QObject* owner, SelectCallback callback)
{
    m_owner = owner;
    m_bBound = owner && callback;
    m_callback = m_bBound ? std::move(callback) : SelectCallback();
}

void CSmartKeyboardDialog::clearSelectCallback(const QObject* owner)
{
    if (!m_bBound || m_owner.data() != owner)
        return;
    m_owner.clear();
    m_bBound = false;
    m_callback = SelectCallback();
}

bool CSmartKeyboardDialog::isBoundTo(const QObject* owner) const
{
    return m_bBound && owner && m_owner.data() == owner;
}

void CSmartKeyboardDialog::setTitle(const QString& title)
{
    setWindowTitle(title);
}

void CSmartKeyboardDialog::setKeyEvent(QKeyEvent* event, QWidget* anchor)
{
    setSearchText(event ? event->text().trimmed() : QString());
    if (anchor) {
        const QPoint corner = anchor->mapToGlobal(QPoint(anchor->width(), anchor->height()));
        move(corner - QPoint(width(), height()));
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void CSmartKeyboardDialog::setSearchText(const QString& text)
{
    if (m_pEdit->text() == text)
        refresh();
    else
        m_pEdit->setText(text); // refreshes
}

QString CSmartKeyboardDialog::searchText() const
{
    return m_pEdit->text();
}

int CSmartKeyboardDialog::currentIndex() const
{
    return m_pList->currentRow();
}

QList<CStockInfo> CSmartKeyboardDialog::search(const QString& text, int limit)
{
    QList<CStockInfo> out;
    const QString key = text.trimmed();
    if (key.isEmpty() || limit <= 0)
        return out;
    const CPinyinKey py(key);
    // ranks: code prefix, initials prefix, code contains, name or initials contain
    QList<CStockInfo> ranked[4];
    auto consider = [&](const ttservice::CInstrumentDetail& d) {
        int rank = -1;
        if (d.code.startsWith(key, Qt::CaseInsensitive))
            rank = 0;
        else if (py.isPrefixOf(d.nameInitials))
            rank = 1;
        else if (d.code.contains(key, Qt::CaseInsensitive))
            rank = 2;
        else if (d.name.contains(key, Qt::CaseInsensitive) || py.matches(d.nameInitials))
            rank = 3;
        if (rank >= 0 && ranked[rank].size() < limit)
            ranked[rank].append(infoOf(d));
        return ranked[0].size() >= limit; // nothing can beat a full first rank
    };
    for (const auto& d : CStockManager::instance()->allInstruments())
        if (consider(*d))
            break;
    for (const CCustomIndexDetailPtr& i : CIndexManager::instance()->allIndices())
        if (const auto d = CIndexManager::instance()->getIndexDetail(i->code))
            consider(*d);
    for (const QList<CStockInfo>& list : ranked)
        for (const CStockInfo& info : list) {
            if (out.size() >= limit)
                return out;
            out.append(info);
        }
    return out;
}

void CSmartKeyboardDialog::refresh()
{
    m_candidates = search(m_pEdit->text());
    m_pList->clear();
    for (const CStockInfo& info : m_candidates)
        m_pList->addItem(info.code + QLatin1String("  ") + info.name);
    if (!m_candidates.isEmpty())
        m_pList->setCurrentRow(0);
}

bool CSmartKeyboardDialog::chooseCurrent()
{
    const int row = m_pList->currentRow();
    if (row < 0 || row >= m_candidates.size())
        return false;
    const CStockInfo info = m_candidates.at(row);
    hide();
    if (!m_bBound)
        return true;
    if (!m_owner) { // the owner went without clearing: drop its callback unheard
        m_bBound = false;
        m_callback = SelectCallback();
        return true;
    }
    const SelectCallback callback = m_callback; // the callback may rebind
    callback(info, eSmartKeyStock);
    return true;
}

bool CSmartKeyboardDialog::moveCurrent(int key)
{
    const int n = m_pList->count();
    if (n == 0)
        return false;
    const int page = 10;
    int row = m_pList->currentRow();
    switch (key) {
    case Qt::Key_Up: row = row <= 0 ? n - 1 : row - 1; break;
    case Qt::Key_Down: row = row >= n - 1 ? 0 : row + 1; break;
    case Qt::Key_PageUp: row = qMax(0, row - page); break;
    case Qt::Key_PageDown: row = qMin(n - 1, row + page); break;
    default: return false;
    }
    m_pList->setCurrentRow(row);
    return true;
}

void CSmartKeyboardDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: chooseCurrent(); return;
    case Qt::Key_Escape: hide(); return;
    default:
        if (!moveCurrent(event->key()))
            QDialog::keyPressEvent(event);
    }
}

bool CSmartKeyboardDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pEdit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape: keyPressEvent(key); return true;
        default: break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace TC
