#pragma once
// "About Reelcap": the icon, the name, the program's and libraries' versions and OK.
#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
