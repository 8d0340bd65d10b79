#include "ConversionWorker.h"

#include "ConverterDlg.h"

void StopWorker(CConverterDlg& dialog) {
    // No run is ever started yet (Convert does nothing), so there is nothing to end.
    dialog.m_hWorker.Reset();
    dialog.m_dwWorkerId = 0;
}
