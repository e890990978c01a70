#pragma once
// Background of the toolkit's container widgets, named by resource keys: a colour key
// wins over an image key; with neither (or a key that resolves to nothing) nothing is
// painted and the parent shows through.

class QPaintEvent;
class QString;
class QWidget;

namespace XP {

// Paints the part of w's background that event asks for (all of w without an event).
void paintWidgetBackground(QWidget* w, const QPaintEvent* event, const QString& colorKey,
                           const QString& imageKey);

} // namespace XP
