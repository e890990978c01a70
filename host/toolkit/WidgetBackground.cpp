#include "host/toolkit/WidgetBackground.h"

#include "host/toolkit/UiResource.h"

#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QWidget>

namespace XP {

void paintWidgetBackground(QWidget* w, const QPaintEvent* event, const QString& colorKey,
                           const QString& imageKey) {
    CUiResource& r = CUiResource::instance();
    const QRect area = event ? event->rect() : w->rect();
    if (!colorKey.isEmpty()) {
        if (const QColor* c = r.getColor(colorKey)) {
            QPainter p(w);
            p.fillRect(area, *c);
        }
        return;
    }
    if (imageKey.isEmpty())
        return;
    const QPixmap pm = r.getPixmap(imageKey, w->size());
    if (pm.isNull())
        return;
    QPainter p(w);
    p.drawPixmap(area, pm, area);
}

} // namespace XP
