#pragma once
// Ids of the events the toolkit's widgets send on the event bus (CEventDeliverer).
// Each comment gives what the event carries as (a, b, text, p).

namespace XP {

enum EToolkitEvent : int {
    EV_BUTTON_CLICKED = 5,        // (button id, 0, button text); a dialog's close button is id -1
    EV_SCROLL_PRESSED = 18,       // (1, 0): the table's vertical scroll bar was pressed
    EV_SCROLL_DRAGGED = 20,       // (1, scroll value): the vertical scroll bar was dragged
    EV_HEADER_CLICKED = 33,       // (table id, column id): a header left click, sorts
    EV_ROW_CLICKED = 47,          // (table id, row): a row left click
    EV_ROW_DOUBLE_CLICKED = 49,   // (table id, row): a row double click
    EV_HEADER_RIGHT_CLICKED = 55, // (column id, 0): a header right click
    EV_CHECKBOX_TOGGLED = 67,     // (check box id, checked ? 1 : 0, text)
    EV_COMBOBOX_CHANGED = 71,     // (combo box id, current index, current text)
    EV_RADIO_CHANGED = 94,        // (checked button id, 0, button text)
    EV_SEARCH_TEXT_CHANGED = 163, // (0, 0, text): every edit of a search field
    EV_CELL_COMMITTED = 230,      // (row, column id, edited text, QString* row key)
    EV_CELL_COMMITTED_KEY = 231,  // (row, column id, row key): follows EV_CELL_COMMITTED
};

} // namespace XP
