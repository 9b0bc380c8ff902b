#pragma once

#include <QString>

class QFileDialog;

// The suffix a save dialog adds to a name typed without one while a name filter is chosen: the
// extension of the filter's first pattern ("Textfile (*.txt)": "txt"), none when that extension
// holds a wildcard or there is none ("All files (*.*)", "Everything (*)").
QString FilterSuffix(const QString& nameFilter);

// Makes the dialog's default suffix that of the name filter chosen, now and whenever the user
// chooses another, so that the name it asks about before replacing a file is the name it gives.
void FollowFilterWithSuffix(QFileDialog& dialog);
