#include "about.h"

#include <QPixmap>
#include <algorithm>

#include "pictures.h"

namespace {
constexpr int kWidth = 361;
constexpr int kMargin = 16;
constexpr int kColumnX = 112, kColumnW = 233;  // right of the logo
constexpr int kFullW = 329;                    // margin to margin
constexpr int kCaptionH = 33, kVersionH = 13, kCopyrightH = 33, kWebH = 13;
constexpr int kCaptionToVersion = 56 - (16 + kCaptionH);
constexpr int kVersionToCopyright = 80 - (56 + kVersionH);
constexpr int kCopyrightToLine = 120 - (80 + kCopyrightH);
constexpr int kLineToContacts = 134 - (120 + 2);
constexpr int kContactsToWeb = 216 - (134 + 81);
constexpr int kWebToLine = 242 - (216 + kWebH);
constexpr int kLineToButton = 264 - (242 + 2);
constexpr int kButtonW = 105, kButtonH = 25;
constexpr int kButtonToBottom = 305 - (264 + kButtonH);

QFont Bold(const QFont& base, int points) {
  QFont f = base;
  if (points > 0) f.setPointSize(points);
  f.setBold(true);
  return f;
}

int Bottom(const QWidget* w) { return w->y() + w->height(); }

// Height the label's text needs at its width, never less than designed, so a
// longer translation pushes the column down instead of being cut off.
int NeededHeight(const QLabel* l, int designed) {
  if (l->text().isEmpty()) return designed;
  const int need = l->wordWrap() ? l->heightForWidth(l->width()) : l->sizeHint().height();
  return std::max(designed, need);
}

QLabel* NewLabel(QWidget* parent, const QFont& font, Qt::Alignment align, int x, int y, int w, int h) {
  auto* l = new QLabel(parent);
  l->setFont(font);
  l->setTextFormat(Qt::PlainText);
  l->setAlignment(align);
  l->setWordWrap(true);
  l->setGeometry(x, y, w, h);
  return l;
}

QFrame* NewLine(QWidget* parent, int y) {
  auto* f = new QFrame(parent);
  f->setFrameShape(QFrame::HLine);
  f->setFrameShadow(QFrame::Sunken);
  f->setGeometry(kMargin, y, kFullW, 2);
  return f;
}
}  // namespace

QString TFormAbout::VersionText() {
#ifdef ORB_VERSION
  return QStringLiteral(ORB_VERSION);
#else
  return QString();
#endif
}

TFormAbout::TFormAbout(QWidget* owner) : QDialog(owner) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  QFont base = font();
  base.setPointSize(8);
  setFont(base);
  setWindowTitle(LoadWindowText(304));

  imageLogo_ = new QLabel(this);
  imageLogo_->move(kMargin, kMargin);
  const QPixmap logo = QPixmap::fromImage(Picture("logo"));
  if (!logo.isNull()) {
    imageLogo_->setPixmap(logo);
    imageLogo_->resize(logo.size());
  } else {
    imageLogo_->resize(0, 0);
  }

  const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
  labelAppCaption_ = NewLabel(this, Bold(base, 10), centred, kColumnX, kMargin, kColumnW, kCaptionH);
  labelAppCaption_->setText(LoadWindowText(400));
  labelAppCaption_->resize(kColumnW, NeededHeight(labelAppCaption_, kCaptionH));

  labelVersion_ = NewLabel(this, Bold(base, 0), centred, kColumnX, Bottom(labelAppCaption_) + kCaptionToVersion,
                           kColumnW, kVersionH);
  labelVersion_->setText(LoadWindowText(401) + QLatin1Char(' ') + VersionText());
  labelVersion_->resize(kColumnW, NeededHeight(labelVersion_, kVersionH));

  labelCopyright_ = NewLabel(this, Bold(base, 0), centred, kColumnX,
                             Bottom(labelVersion_) + kVersionToCopyright, kColumnW, kCopyrightH);
  labelCopyright_->setText(LoadWindowText(402));
  labelCopyright_->resize(kColumnW, NeededHeight(labelCopyright_, kCopyrightH));

  const int headBottom = std::max(Bottom(labelCopyright_), Bottom(imageLogo_));
  panelLine1_ = NewLine(this, headBottom + kCopyrightToLine);

  labelContacts_ = NewLabel(this, Bold(base, 0), Qt::AlignLeft | Qt::AlignTop, kMargin,
                            Bottom(panelLine1_) + kLineToContacts, kFullW, 0);
  labelContacts_->setText(LoadWindowText(403));
  int webTop = labelContacts_->y();
  if (labelContacts_->text().isEmpty()) {
    // No contact block in this language: the web address takes its place.
    labelContacts_->hide();
  } else {
    labelContacts_->resize(kFullW, labelContacts_->heightForWidth(kFullW));
    webTop = Bottom(labelContacts_) + kContactsToWeb;
  }

  labelWebAddress_ = new TLinkLabel(this);
  labelWebAddress_->setFont(Bold(base, 0));
  labelWebAddress_->setText(LoadWindowText(310));
  labelWebAddress_->setGeometry(kMargin, webTop, kFullW, kWebH);
  labelWebAddress_->resize(kFullW, NeededHeight(labelWebAddress_, kWebH));
  labelWebAddress_->OnMouseDown = [this](Qt::MouseButton b) { LabelWebAddressMouseDown(b); };

  panelLine2_ = NewLine(this, Bottom(labelWebAddress_) + kWebToLine);

  button_ = new QPushButton(LoadWindowText(309), this);
  button_->setGeometry((kWidth - kButtonW) / 2, Bottom(panelLine2_) + kLineToButton, kButtonW, kButtonH);
  button_->setDefault(true);
  connect(button_, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(kWidth, Bottom(button_) + kButtonToBottom);
}

void TFormAbout::LabelWebAddressMouseDown(Qt::MouseButton) { OpenWebAddress(labelWebAddress_->text()); }
