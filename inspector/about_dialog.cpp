#include "about_dialog.h"

#include "application_icon.h"
#include "ui_about_dialog.h"

namespace ferndel {

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDialog>()) {
    m_ui->setupUi(this);
    m_ui->iconLabel->setPixmap(application_icon().pixmap(48, 48));
}

CAboutDialog::~CAboutDialog() = default;

}  // namespace ferndel
