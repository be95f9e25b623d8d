// Ferndel's About box: the icon, the program's name and version, and OK.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDialog;
}

namespace ferndel {

class CAboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    ~CAboutDialog() override;

  private:
    std::unique_ptr<Ui::CAboutDialog> m_ui;
};

}  // namespace ferndel
