#include "editors/aboutbox.h"

#include "desktop/appicon.h"
#include "version.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* NamedLabel(QWidget* parent, const QString& text, const char* name) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

QString T_About::CompiledVersion() { return QStringLiteral(ORVANE_VERSION); }

T_About::T_About(QWidget* parent, const QString& version) : QDialog(parent) {
  setObjectName(QStringLiteral("T_About"));
  setWindowTitle(tr("About Orvane"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);

  IconImage = NamedLabel(this, QString(), "IconImage");
  IconImage->setPixmap(QPixmap::fromImage(AppIconImage(96)));
  IconImage->setFixedSize(96, 96);

  ProductName = NamedLabel(this, tr("Orvane"), "ProductName");
  QFont title = ProductName->font();
  title.setPointSizeF(title.pointSizeF() * 1.8);
  title.setBold(true);
  ProductName->setFont(title);

  VersionLabel = NamedLabel(this, tr("Version"), "VersionLabel");
  if (!version.trimmed().isEmpty()) VersionLabel->setText(tr("Version %1").arg(version.trimmed()));
  VersionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  Comments = NamedLabel(this,
                        tr("Your calendar and planner on the desktop: the coming days' events, your tasks, "
                           "a month calendar, quick notes and the weather, right on the wallpaper."),
                        "Comments");
  Comments->setWordWrap(true);
  Copyright = NamedLabel(this, tr("Copyright \u00A9 The Orvane developers"), "Copyright");
  WebSite = NamedLabel(this, tr("Help, news and new versions: see \"Orvane Website\" in the Help menu."), "WebSite");
  WebSite->setWordWrap(true);
  QPalette quiet = Copyright->palette();
  quiet.setColor(QPalette::WindowText, QColor(0x6b, 0x77, 0x85));
  Copyright->setPalette(quiet);
  WebSite->setPalette(quiet);

  OKButton = new QPushButton(tr("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* text = new QVBoxLayout;
  text->setSpacing(6);
  text->addWidget(ProductName);
  text->addWidget(VersionLabel);
  text->addSpacing(8);
  text->addWidget(Comments);
  text->addSpacing(8);
  text->addWidget(Copyright);
  text->addWidget(WebSite);
  text->addStretch(1);

  auto* top = new QHBoxLayout;
  top->setSpacing(18);
  top->addWidget(IconImage, 0, Qt::AlignTop);
  top->addLayout(text, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 16);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  setFixedWidth(420);
  setFixedHeight(sizeHint().height());
}
