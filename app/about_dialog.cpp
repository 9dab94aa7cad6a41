#include "app/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "res/app_title.h"
#include "res/icons.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Reelcap"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap::fromImage(AppIconImage(32)));
    auto* name = new QLabel(QString::fromLatin1(kAppTitle), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 12, 12);
    row->setSpacing(14);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(name, 1, Qt::AlignTop);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addStretch();
    row->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(350, 90)));
}
