#include "about.h"
#include "analysis/engine/workfiles.h"

#include "platform/dialogs.h"
#include "platform/windowsize.h"

#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace quillmark {

const QString AboutBox::kCaption = QStringLiteral("About Quillmark");
const QString AboutBox::kRelease = QStringLiteral("Release 5.0.0.1");
const QString AboutBox::kCredits = QStringLiteral(
    "Quillmark for FrontPage\r\n\r\nDesigned and written at Varnholt.\r\n"
    "Built with Qt and libcurl.\r\n\r\nThanks to every web author who sent us a page that "
    "broke the checks.");

AboutBox::AboutBox(platform::Dialogs& dialogs, const QString& dataFolder, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(kCaption);
    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(QPixmap(QDir(dataFolder).filePath(engine::kLogoFile)));
    ProgramIcon->setCursor(Qt::PointingHandCursor);
    Company = new QLabel(QStringLiteral("Varnholt"), this);
    Company->setObjectName(QStringLiteral("Company"));
    Company->setCursor(Qt::PointingHandCursor);
    ProductName = new QLabel(QStringLiteral("Quillmark"), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont big = ProductName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    ProductName->setFont(big);
    Version = new QLabel(QStringLiteral("Release"), this);
    Version->setObjectName(QStringLiteral("Version"));
    Release = new QLabel(QStringLiteral("5"), this);
    Release->setObjectName(QStringLiteral("Release"));
    QFont huge = Release->font();
    huge.setBold(true);
    huge.setPointSizeF(huge.pointSizeF() * 3);
    Release->setFont(huge);
    Release->setCursor(Qt::PointingHandCursor);
    Comments = new QLabel(QStringLiteral("for Microsoft FrontPage 98-2002"), this);
    Comments->setObjectName(QStringLiteral("Comments"));
    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(ProgramIcon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(Company, 0, 1);
    grid->addWidget(ProductName, 1, 1);
    auto* rel = new QHBoxLayout;
    rel->addWidget(Version, 0, Qt::AlignBottom);
    rel->addWidget(Release, 0, Qt::AlignBottom);
    rel->addStretch();
    grid->addLayout(rel, 2, 1);
    grid->addWidget(Comments, 3, 0, 1, 2);
    grid->addWidget(ok, 4, 0, 1, 2, Qt::AlignHCenter);

    for (QLabel* l : {ProgramIcon, Company, Release})
        l->installEventFilter(this);

    platform::startSize(this, QSize(300, 160));
}

void AboutBox::ReleaseClick() {
    m_dialogs.information(kRelease);
}

void AboutBox::CreditsClick() {
    m_dialogs.information(kCredits);
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Release)
            ReleaseClick();
        else
            CreditsClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quillmark
