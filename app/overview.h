#pragma once
// The Overview window: the instrument's summary, description and technical
// data from the string table, laid out to the current language's texts.
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <array>
#include <functional>

// A label that reacts to the mouse like a hyperlink: blue, bold, hand pointer.
class TLinkLabel : public QLabel {
 public:
  explicit TLinkLabel(QWidget* parent);
  std::function<void(Qt::MouseButton)> OnMouseDown;  // any button going down
  std::function<void()> OnClick;                     // left press and release on the label

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  bool leftDown_ = false;
};

// Window text `id` in the calling thread's language; empty when it has none.
QString LoadWindowText(unsigned id);
// Hands a web address to the desktop's default handler; failures are silent.
void OpenWebAddress(const QString& address);

class TFormOverview : public QDialog {
 public:
  explicit TFormOverview(QWidget* owner);

  QGroupBox* GroupBox(int n) const { return boxes_[static_cast<std::size_t>(n - 1)]; }  // 1..3
  QLabel* Label(int n) const { return labels_[static_cast<std::size_t>(n - 1)]; }       // 1..3
  TLinkLabel* LabelMore() const { return labelMore_; }
  QPushButton* Button() const { return button_; }

  void LabelMoreClick();

 private:
  std::array<QGroupBox*, 3> boxes_{};
  std::array<QLabel*, 3> labels_{};
  TLinkLabel* labelMore_ = nullptr;
  QPushButton* button_ = nullptr;
};
