#include "ui/MainWindowEntry.h"

#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "ui/CIdentifyingCodeDlg.h"
#include "ui/LauncherDlg.h"
#include "ui/WindowedLauncherUi.h"

namespace nb {

void RunMainWindow(LauncherContext& context) {
    LauncherDlg dialog(context);
    // Close requests of the core reach this window, and the login's code dialog belongs to it.
    auto* ui = dynamic_cast<WindowedLauncherUi*>(&Ui());
    if (ui) {
        ui->SetMainWindow(&dialog);
        ui->SetCodeDialogRunner([ui] { CIdentifyingCodeDlg::RunModal(ui->MainWindow()); });
    }
    dialog.OnInitDialog();
    // A state without a page has closed the window during its initialisation.
    if (!dialog.IsCloseRequested()) dialog.RunModal();
    if (ui) {
        ui->SetCodeDialogRunner([] {});
        ui->SetMainWindow(nullptr);
    }
}

}  // namespace nb
