#include "inspector_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QShortcut>

#include "about_dialog.h"
#include "application_icon.h"
#include "slice_inspection.h"
#include "slice_neighbours.h"
#include "slice_picture.h"
#include "slice_view.h"
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
    // The picture has a menu of its own; About stays within reach of a right click there too.
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    m_ui->sliceView->addAction(separator);
    m_ui->sliceView->addAction(m_ui->aboutAction);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CInspectorDialog::on_browse);
    connect(m_ui->infoButton, &QPushButton::clicked, this, &CInspectorDialog::on_info);
    connect(m_ui->aboutAction, &QAction::triggered, this, &CInspectorDialog::on_about);
    // Not the buttons' own shortcuts: those click after a delay, which would slow down a held
    // key stepping through a data set.
    const auto page_key = [this](Qt::Key key, QPushButton* button) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, button,
                &QPushButton::click);
    };
    page_key(Qt::Key_PageUp, m_ui->previousButton);
    page_key(Qt::Key_PageDown, m_ui->nextButton);
    connect(m_ui->previousButton, &QPushButton::clicked, this, &CInspectorDialog::on_previous);
    connect(m_ui->nextButton, &QPushButton::clicked, this, &CInspectorDialog::on_next);
    connect(m_ui->sliceView, &CSliceView::pixel_status_changed, m_ui->pixelStatus,
            &QLabel::setText);
    connect(m_ui->sliceView, &CSliceView::zoom_text_changed, m_ui->zoomValue, &QLabel::setText);
    m_ui->keptNote->hide();
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

void CInspectorDialog::open_slice(const QString& path) {
    m_ui->pathEdit->setText(
        path.isEmpty() ? path : QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    if (!m_ui->pathEdit->text().isEmpty()) {
        m_ui->infoButton->setEnabled(true);
    }
    on_info();
}

void CInspectorDialog::on_info() {
    const std::string path = QFile::encodeName(m_ui->pathEdit->text()).toStdString();
    if (inspect(path)) {
        m_current = path;
        update_steps();
    }
}

void CInspectorDialog::on_previous() {
    step_to(find_slice_neighbours(m_current).previous);
}

void CInspectorDialog::on_next() {
    step_to(find_slice_neighbours(m_current).next);
}

void CInspectorDialog::step_to(const std::string& path) {
    // The folder may have changed since the buttons were last set.
    if (!path.empty()) {
        m_current = path;
        m_ui->pathEdit->setText(QFile::decodeName(QByteArray::fromStdString(path)));
        inspect(path);
    }
    update_steps();
}

void CInspectorDialog::update_steps() {
    if (m_current.empty()) {
        return;
    }
    const SliceNeighbours neighbours = find_slice_neighbours(m_current);
    m_ui->previousButton->setEnabled(!neighbours.previous.empty());
    m_ui->nextButton->setEnabled(!neighbours.next.empty());
    m_ui->positionValue->setText(
        neighbours.position == 0
            ? QString()
            : QStringLiteral("slice %1 of %2").arg(neighbours.position).arg(neighbours.count));
}

bool CInspectorDialog::inspect(const std::string& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Inspection result = inspect_slice(path);
    QImage picture;
    if (result.ok) {
        picture = slice_picture(result.bits, result.width, result.height);
        result.bits = {};
    }
    QApplication::restoreOverrideCursor();
    if (!result.ok) {
        // The results stay, named as another file's before the message shows.
        m_ui->keptNote->setText(
            QFile::decodeName(QByteArray::fromStdString(kept_results_note(m_shown, path))));
        m_ui->keptNote->setVisible(!m_ui->keptNote->text().isEmpty());
        m_show_message(this, QStringLiteral("Ferndel"),
                       QFile::decodeName(QByteArray::fromStdString(result.message)));
        return false;
    }
    m_shown = path;
    m_ui->keptNote->clear();
    m_ui->keptNote->hide();
    m_ui->dimensionValue->setText(QString::fromStdString(result.dimension));
    m_ui->countValue->setText(QString::fromStdString(result.black_pixels));
    m_ui->fractionValue->setText(QString::fromStdString(result.black_fraction));
    m_ui->sliceView->set_picture(std::move(picture));
    return true;
}

void CInspectorDialog::on_about() {
    CAboutDialog about(this);
    about.exec();
}

}  // namespace ferndel
