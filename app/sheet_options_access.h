#pragma once
// The settings record the program's commands read and edit: the process's
// options store when there is one, otherwise a record with the defaults (as in
// tests that run a window without a store).
#include "settings/options_store.h"

inline SheetOptions& CurrentSheetOptions() {
    if (OptionsStore* store = OptionsStore::Instance()) return store->Options();
    static SheetOptions fallback = [] {
        SheetOptions options{};
        options.SetDefaults();
        return options;
    }();
    return fallback;
}
