#include "host/toolkit/SplitButtonContainer.h"

#include "host/toolkit/UiResource.h"

#include <QtGui/QColor>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QVBoxLayout>

namespace XP {

CSplitButtonContainer::CSplitButtonContainer(QWidget* parent, Qt::Orientation orientation)
    : CBaseWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pSplitter = new QSplitter(orientation, this);
    m_pSplitter->setChildrenCollapsible(false);
    m_pSplitter->setHandleWidth(3);
    layout->addWidget(m_pSplitter);
}

CSplitButtonContainer::~CSplitButtonContainer() = default;

void CSplitButtonContainer::setWidgets(QWidget* first, QWidget* second) {
    if (first)
        m_pSplitter->insertWidget(0, first);
    if (second)
        m_pSplitter->insertWidget(1, second);
    m_pSplitter->setStretchFactor(0, 1);
    m_pSplitter->setStretchFactor(1, 0);
    if (!m_bOpen && second)
        second->hide();
}

QWidget* CSplitButtonContainer::firstWidget() const {
    return m_pSplitter->widget(0);
}
QWidget* CSplitButtonContainer::secondWidget() const {
    return m_pSplitter->widget(1);
}

void CSplitButtonContainer::setMaxLengths(int first, int second) {
    const bool vertical = m_pSplitter->orientation() == Qt::Vertical;
    if (QWidget* w = firstWidget())
        vertical ? w->setMaximumHeight(first) : w->setMaximumWidth(first);
    if (QWidget* w = secondWidget())
        vertical ? w->setMaximumHeight(second) : w->setMaximumWidth(second);
}

void CSplitButtonContainer::setSecondLength(int length) {
    m_nSecondLength = length;
    if (m_bOpen) {
        const int total = m_pSplitter->orientation() == Qt::Vertical ? height() : width();
        m_pSplitter->setSizes({std::max(0, total - length), length});
    }
}

void CSplitButtonContainer::openSplit() {
    m_bOpen = true;
    if (QWidget* w = secondWidget())
        w->show();
    setHandleVisible(true);
    setSecondLength(m_nSecondLength);
}

void CSplitButtonContainer::closeSplit() {
    m_bOpen = false;
    if (QWidget* w = secondWidget())
        w->hide();
    setHandleVisible(false);
}

void CSplitButtonContainer::setHandleVisible(bool visible) {
    if (m_pSplitter->count() > 1)
        m_pSplitter->handle(1)->setVisible(visible);
}

void CSplitButtonContainer::setSplitColorKey(const QString& key) {
    m_qsColorKey = key;
    themeChanged();
}

void CSplitButtonContainer::themeChanged() {
    const QColor* c =
        m_qsColorKey.isEmpty() ? nullptr : CUiResource::instance().getColor(m_qsColorKey);
    m_pSplitter->setStyleSheet(
        c ? QStringLiteral("QSplitter::handle{background:%1;}").arg(c->name(QColor::HexArgb))
          : QString());
}

} // namespace XP
