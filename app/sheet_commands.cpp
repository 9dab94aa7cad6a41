#include "app/sheet_commands.h"

#include <string>

#include "app/app_message.h"
#include "settings/dialog/options_dlg.h"
#include "settings/options_store.h"
#include "sheet/compose_sheet.h"
#include "widgets/prompts.h"

void RunOptionsCommand(QWidget* parent) {
    OptionsStore* store = OptionsStore::Instance();
    if (!store) return;
    COptionsDlg dialog(*store, parent);
    dialog.DoModal();
}

std::string RunSaveFileCommand(QWidget* parent, const std::vector<const CDibImage*>& frames,
                               const std::vector<const char*>& labels, const MovieDetails& details,
                               const std::string& startFolder) {
    OptionsStore* store = OptionsStore::Instance();
    if (!store) return {};
    {
        COptionsDlg dialog(*store, parent);
        dialog.SetSaveMode(true);
        if (dialog.DoModal() != COptionsDlg::kOk) return {};
    }
    const std::string path =
        Prompts::Current().SaveFileName(parent, {{"JPEG Files", {"*.jpg"}}}, ".jpg", startFolder);
    if (path.empty()) return {};
    const OpResult result = ComposeSheet(frames, labels, store->Options(), details, path);
    if (!result) {
        ShowAppMessage(parent, "The contact sheet could not be saved.\n\n" + result.message,
                       Prompts::Icon::Error);
        return {};
    }
    return path;
}
