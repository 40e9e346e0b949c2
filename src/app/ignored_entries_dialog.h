// IgnoredEntriesDialog: the "Ignored entries" window of the "Settings" page, a plain modal
// dialog over IgnoredEntriesModel: the list (key path, value name), "Take off the list" and
// "Close".
#pragma once

#include "app/ignored_entries_model.h"
#include "ui/list_view.h"
#include "ui/skin_dialog.h"

namespace tw {

class IgnoredEntriesDialog final : public SkinDialog, private IgnoredEntriesView {
public:
    IgnoredEntriesDialog(HWND parent, Registry& registry);

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

    // IgnoredEntriesView
    void ShowRows(const std::vector<IgnoredRow>& rows) override;
    void EnableRemove(bool enable) override;
    void ShowMessage(const std::string& text) override;
    void Close() override;

    IgnoredEntriesModel model_;
    ListView list_;
};

}  // namespace tw
