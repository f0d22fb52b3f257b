#pragma once

class ListWindow;

// "Relatório" of the list windows: the full report of the rows the list
// shows (its visible grid, in its unit) in a print preview, from which the
// user prints or saves it. The limits are those typed into the list's
// statistics window, when it has one. False when the pages could not be drawn.
bool showListReport(ListWindow &list);
