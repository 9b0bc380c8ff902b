#pragma once

#include "OptionRec.h"
#include "frmTwinseek.h"

// Changes the options the window's next scan runs with, as the options dialog would.
template <typename TEdit> void EditOptions(TfrmTwinseek& window, TEdit edit) {
    TOptionRec options = window.Options();
    edit(options);
    window.SetOptions(options);
}
