#include "overview.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

#include "strtab.h"

namespace {
constexpr int kWidth = 577;
constexpr int kBoxTop = 16;
constexpr int kBoxX = 16, kBoxW = 545;
constexpr int kLabelX = 16, kLabelY = 24, kLabelW = 513;
constexpr int kBoxMargin = 161 - 121;  // box height less its label's
constexpr int kColumnGap = 15;         // between the boxes and the "more" line
constexpr int kMoreH = 16;
constexpr int kMoreToButton = 24;
constexpr int kButtonW = 105, kButtonH = 25;
constexpr int kButtonToBottom = 625 - (584 + kButtonH);
constexpr unsigned kBoxTitles[3] = {500, 502, 504};
constexpr unsigned kBoxTexts[3] = {501, 503, 505};

// Bulleted lines wrap with a hanging indent, so a long item stays readable;
// other text is shown as it stands.
void SetBoxText(QLabel* label, const QString& text) {
  static const QString kBullet = QStringLiteral("\u2022 ");
  if (!text.contains(kBullet)) {
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return;
  }
  const int indent = label->fontMetrics().horizontalAdvance(kBullet);
  QString html;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    if (line.startsWith(kBullet))
      html += QStringLiteral("<p style=\"margin:0; margin-left:%1px; text-indent:-%1px\">%2</p>")
                  .arg(indent)
                  .arg(line.toHtmlEscaped());
    else
      html += QStringLiteral("<p style=\"margin:0\">%1</p>").arg(line.isEmpty() ? QStringLiteral("&#160;") : line.toHtmlEscaped());
  }
  label->setTextFormat(Qt::RichText);
  label->setText(html);
}

QFont PointFont(const QFont& base, int points, bool bold) {
  QFont f = base;
  f.setPointSize(points);
  f.setBold(bold);
  return f;
}
}  // namespace

QString LoadWindowText(unsigned id) {
  const std::u16string u = Cp1251ToUtf16(LoadStringTable(id));
  return QString::fromUtf16(u.data(), static_cast<qsizetype>(u.size()));
}

void OpenWebAddress(const QString& address) {
  // The desktop may have no handler; there is nothing useful to tell the user.
  QDesktopServices::openUrl(QUrl(address));
}

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
  QFont f = font();
  f.setBold(true);
  setFont(f);
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, QColor(0x00, 0x3C, 0xC8));
  setPalette(pal);
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
}

void TLinkLabel::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) leftDown_ = true;
  if (OnMouseDown) OnMouseDown(e->button());
  e->accept();
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* e) {
  const bool click = leftDown_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
  if (e->button() == Qt::LeftButton) leftDown_ = false;
  e->accept();
  if (click && OnClick) OnClick();
}

TFormOverview::TFormOverview(QWidget* owner) : QDialog(owner) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFont(PointFont(font(), 8, false));
  setWindowTitle(LoadWindowText(280));

  int top = kBoxTop;
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    auto* box = new QGroupBox(this);
    box->setFont(PointFont(font(), 10, true));
    box->setTitle(LoadWindowText(kBoxTitles[i]));
    auto* label = new QLabel(box);
    label->setFont(PointFont(font(), 10, false));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetBoxText(label, LoadWindowText(kBoxTexts[i]));
    const int h = label->text().isEmpty() ? 0 : label->heightForWidth(kLabelW);
    label->setGeometry(kLabelX, kLabelY, kLabelW, h);
    box->setGeometry(kBoxX, top, kBoxW, h + kBoxMargin);
    // A box without text gives its place in the column to the next element.
    if (label->text().isEmpty())
      box->hide();
    else
      top = box->geometry().bottom() + 1 + kColumnGap;
    boxes_[i] = box;
    labels_[i] = label;
  }

  labelMore_ = new TLinkLabel(this);
  labelMore_->setAlignment(Qt::AlignCenter);
  labelMore_->setText(LoadWindowText(506));
  labelMore_->setGeometry(kBoxX, top, kBoxW, kMoreH);
  labelMore_->OnClick = [this] { LabelMoreClick(); };

  button_ = new QPushButton(LoadWindowText(309), this);
  const int buttonTop = top + kMoreH + kMoreToButton;
  button_->setGeometry((kWidth - kButtonW) / 2, buttonTop, kButtonW, kButtonH);
  button_->setDefault(true);
  connect(button_, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(kWidth, buttonTop + kButtonH + kButtonToBottom);
}

void TFormOverview::LabelMoreClick() { OpenWebAddress(LoadWindowText(310)); }
