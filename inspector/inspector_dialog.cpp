#include "inspector_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "about_dialog.h"
#include "application_icon.h"
#include "slice_inspection.h"
#include "ui_inspector_dialog.h"

namespace ferndel {

void show_message_box(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    // A path may hold '<' or '&': never read it as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString pick_slice_file(QWidget* parent) {
    QFileDialog picker(parent);
    picker.setAcceptMode(QFileDialog::AcceptOpen);
    picker.setFileMode(QFileDialog::ExistingFile);
    picker.setNameFilter(QStringLiteral("PBM Files (*.pbm)"));
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) {
        return QString();
    }
    return QDir::toNativeSeparators(picker.selectedFiles().first());
}

CInspectorDialog::CInspectorDialog(MessageShower show_message, FilePicker pick_file,
                                   QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CInspectorDialog>()),
      m_show_message(std::move(show_message)),
      m_pick_file(std::move(pick_file)) {
    m_ui->setupUi(this);
    setWindowIcon(application_icon());
    addAction(m_ui->aboutAction);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CInspectorDialog::on_browse);
    connect(m_ui->infoButton, &QPushButton::clicked, this, &CInspectorDialog::on_info);
    connect(m_ui->aboutAction, &QAction::triggered, this, &CInspectorDialog::on_about);
}

CInspectorDialog::~CInspectorDialog() = default;

void CInspectorDialog::on_browse() {
    const QString path = m_pick_file(this);
    if (path.isEmpty()) {
        return;
    }
    m_ui->pathEdit->setText(path);
    // Enabled for good: clearing the field later does not take it back.
    m_ui->infoButton->setEnabled(true);
}

void CInspectorDialog::on_info() {
    const QString path = m_ui->pathEdit->text();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Inspection result = inspect_slice(QFile::encodeName(path).toStdString());
    QApplication::restoreOverrideCursor();
    if (!result.ok) {
        m_show_message(this, QStringLiteral("Ferndel"),
                       QFile::decodeName(QByteArray::fromStdString(result.message)));
        return;
    }
    m_ui->dimensionValue->setText(QString::fromStdString(result.dimension));
    m_ui->countValue->setText(QString::fromStdString(result.black_pixels));
}

void CInspectorDialog::on_about() {
    CAboutDialog about(this);
    about.exec();
}

}  // namespace ferndel
