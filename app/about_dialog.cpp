#include "app/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "res/app_title.h"
#include "res/icons.h"
#include "version/library_versions.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Reelcap"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap::fromImage(AppIconImage(32)));
    auto* name = new QLabel(QString::fromLatin1(kAppTitle), this);
    // The libraries found at run time, selectable so a bug report can quote them.
    QString libraries;
    const std::vector<std::string> lines = LibraryVersionLines();
    for (size_t i = 1; i < lines.size(); ++i) libraries += QString::fromStdString(lines[i]) + '\n';
    auto* versions = new QLabel(QStringLiteral("Version %1\n\n%2")
                                    .arg(QString::fromStdString(ProgramVersion()), libraries.trimmed()),
                                this);
    versions->setObjectName(QStringLiteral("versions"));
    versions->setWordWrap(true);
    versions->setTextInteractionFlags(Qt::TextSelectableByMouse);
    versions->setMinimumWidth(360);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 12, 12);
    row->setSpacing(14);
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(versions);
    texts->addStretch();
    row->addLayout(texts, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addStretch();
    row->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(350, 90)));
}
