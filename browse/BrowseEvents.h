#pragma once
// Host event ids the browse table sends and handles.

namespace TC {

enum EBrowseEvent : int {
    Event_ScrollPressed = 18, // (1, ...) the vertical scroll bar was pressed
    Event_ScrollDragged = 20, // (1, ...) the vertical scroll bar was dragged
    Event_HeaderClick = 33,   // (table id, column) a header left click
    Event_Repaint = 45,
    Event_SelectStock = 47,       // (a, b, key, widget) the chosen instrument
    Event_RangeSelect = 48,       // (table id, row, anchor row as text, column*) a range of rows
    Event_DoubleSelectStock = 49, // (a, b, key) the instrument of a double click
    Event_HeaderMenu = 55,        // (column) a header right click
    Event_TableStock = 3083,      // (table id, 0, key)
    Event_DefaultOrder = 3251,    // sort by code, select the first row
    Event_FirstStock = 3255,      // (0, 0, key of the first row), browse type 3
    Event_PositionAccount = 3258, // (a, b, account)
    Event_SectorCommand = 3264,   // (0, command, "", widget): 2 remove stocks, 3 custom index
    Event_Enter = 4003,           // (table id, selected row)
};

} // namespace TC
