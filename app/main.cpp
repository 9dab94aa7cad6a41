#include <QApplication>

#include "settings/options_store.h"

int main(int argc, char** argv) {
    // The options file is read (or created with the defaults) before anything
    // else and written back when the store goes out of scope.
    OptionsStore store(OptionsStore::DefaultPath());
    QApplication app(argc, argv);
    return 0;
}
