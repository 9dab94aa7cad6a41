#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/reelcap_app.h"
#include "res/app_title.h"
#include "settings/options_store.h"
#include "version/library_versions.h"

int main(int argc, char** argv) {
    // Asked from a terminal, often for a bug report: answered before any
    // window, display or options file is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs(LibraryVersionText().c_str(), stdout);
            return 0;
        }
    }
    // The options file is read (or created with the defaults) before anything
    // else and written back when the store goes out of scope, after the
    // application and its window are gone.
    OptionsStore store(OptionsStore::DefaultPath());
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QApplication::setDesktopFileName(QStringLiteral("reelcap"));
    int code = 0;
    {
        CReelcapApp app;
        QStringList arguments = QApplication::arguments();
        arguments.removeFirst();
        if (!app.InitInstance(arguments)) return 1;
        code = app.Run();
    }
    return code;
}
