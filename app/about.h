#pragma once
// The About window: the program's name and version, the legal notice, the
// contact block and the web address, laid out to the current language's texts.
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "overview.h"

class TFormAbout : public QDialog {
 public:
  explicit TFormAbout(QWidget* owner);

  QLabel* ImageLogo() const { return imageLogo_; }
  QLabel* LabelAppCaption() const { return labelAppCaption_; }
  QLabel* LabelVersion() const { return labelVersion_; }
  QLabel* LabelCopyright() const { return labelCopyright_; }
  QFrame* PanelLine1() const { return panelLine1_; }
  QLabel* LabelContacts() const { return labelContacts_; }
  TLinkLabel* LabelWebAddress() const { return labelWebAddress_; }
  QFrame* PanelLine2() const { return panelLine2_; }
  QPushButton* Button() const { return button_; }

  void LabelWebAddressMouseDown(Qt::MouseButton button);

  // The program's version as shown after "Version".
  static QString VersionText();

 private:
  QLabel* imageLogo_ = nullptr;
  QLabel* labelAppCaption_ = nullptr;
  QLabel* labelVersion_ = nullptr;
  QLabel* labelCopyright_ = nullptr;
  QFrame* panelLine1_ = nullptr;
  QLabel* labelContacts_ = nullptr;
  TLinkLabel* labelWebAddress_ = nullptr;
  QFrame* panelLine2_ = nullptr;
  QPushButton* button_ = nullptr;
};
