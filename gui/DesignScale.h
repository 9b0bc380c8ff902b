#pragma once

class QWidget;

// The main window's sizes (the window, its columns, splitter and status panels) were set in
// pixels for a smaller font than today's desktops use; with a larger desktop font they grow by
// this factor.
double DesignScale(const QWidget* widget);
