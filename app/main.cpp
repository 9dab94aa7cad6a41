#include <QApplication>

#include "app/reelcap_app.h"
#include "res/app_title.h"
#include "settings/options_store.h"

int main(int argc, char** argv) {
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
