#pragma once
// Two panes one above the other (or side by side) with a splitter that can be closed:
// closed, the second pane is hidden and the handle too.
#include "host/toolkit/EventWidget.h"

class QSplitter;

namespace XP {

class CSplitButtonContainer : public CBaseWidget {
    Q_OBJECT
public:
    explicit CSplitButtonContainer(QWidget* parent = nullptr,
                                   Qt::Orientation orientation = Qt::Vertical);
    ~CSplitButtonContainer() override;

    void setWidgets(QWidget* first, QWidget* second);
    QWidget* firstWidget() const;
    QWidget* secondWidget() const;
    void setMaxLengths(int first, int second);
    void setSecondLength(int length);
    void openSplit();
    void closeSplit();
    bool isSplitOpen() const { return m_bOpen; }
    void setHandleVisible(bool visible);
    void setSplitColorKey(const QString& key);
    QSplitter* splitter() const { return m_pSplitter; }
    void themeChanged() override;

private:
    QSplitter* m_pSplitter;
    bool m_bOpen = true;
    int m_nSecondLength = 200;
    QString m_qsColorKey;
};

} // namespace XP
