// SelectBackup: the backup date picker, a plain modal dialog over SelectBackupModel. It lists
// one kind of catalogue entry by date, polls the drop-down list every 100 ms (the model keeps
// the last real choice), and ends with Finish and the chosen name, or cancelled. With nothing
// to offer it says "No backups present for restore." and ends cancelled at once.
#pragma once

#include "backup/select_backup_model.h"
#include "ui/skin_dialog.h"

#include <string>

namespace tw {

class SelectBackup final : public SkinDialog {
public:
    SelectBackup(HWND parent, SelectBackupModel model, System& system, std::string programFolder);

    // Runs the picker: true on "Finish", with the chosen name (empty when none was chosen).
    bool Run(std::string* chosenName);

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;
    void Poll();

    static constexpr UINT_PTR kPollTimer = 1;
    static constexpr UINT kPollPeriod = 100;

    SelectBackupModel model_;
    System& system_;
    std::string programFolder_;
};

}  // namespace tw
