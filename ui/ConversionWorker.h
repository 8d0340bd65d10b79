#pragma once

class CConverterDlg;

// Ends a conversion run that is still going once the dialog's modal loop is over, and clears the
// dialog's worker slot.
void StopWorker(CConverterDlg& dialog);
