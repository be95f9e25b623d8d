#include "generator_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDoubleValidator>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <ctime>

#include "dialog_rules.h"
#include "number_text.h"
#include "random/random.h"
#include "ui_generator_dialog.h"

namespace brisolt {
namespace {

const char* const kCaption = "Brisolt";

QString picked_with_platform_dialog(const QString& start) {
    return QFileDialog::getExistingDirectory(nullptr, QStringLiteral("Select Your Directory"),
                                             start, QFileDialog::ShowDirsOnly);
}

void accept_numbers_only(QLineEdit* edit) {
    auto* validator = new QDoubleValidator(edit);
    validator->setNotation(QDoubleValidator::ScientificNotation);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    validator->setLocale(c);
    edit->setValidator(validator);
}

// A label's text without its colon, as a field's name in a message.
QString field_name(const QString& label) {
    return label.endsWith(':') ? label.chopped(1) : label;
}

std::string file_name_text(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

}  // namespace

CGeneratorDialog::CGeneratorDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CGeneratorDialog>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_pickFolder = picked_with_platform_dialog;
    m_about = new QAction(QStringLiteral("&About Brisolt..."), this);
    for (QLineEdit* edit : {ui->m_lambda, ui->m_parameter1, ui->m_parameter2}) {
        accept_numbers_only(edit);
    }
    // The hidden second parameter keeps its place, so that the dialog does not jump.
    for (QWidget* w :
         {static_cast<QWidget*>(ui->m_parameter2Label), static_cast<QWidget*>(ui->m_parameter2)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }

    // Connected before the set-up, whose own changes m_ready keeps from checking anything.
    connect(ui->m_generate, &QPushButton::clicked, this, &CGeneratorDialog::OnGenerate);
    connect(ui->m_browse, &QPushButton::clicked, this, &CGeneratorDialog::OnBrowse);
    connect(ui->m_exit, &QPushButton::clicked, this, &CGeneratorDialog::reject);
    connect(ui->m_distribution, &QComboBox::activated, this,
            &CGeneratorDialog::OnDistributionChanged);
    for (QSpinBox* spin : {ui->m_maxX, ui->m_maxY, ui->m_maxZ, ui->m_maxRadius}) {
        connect(spin, &QSpinBox::textChanged, this, &CGeneratorDialog::UpdateGenerateButton);
    }
    for (QLineEdit* edit :
         {ui->m_lambda, ui->m_parameter1, ui->m_parameter2, ui->m_outputDirectory}) {
        connect(edit, &QLineEdit::textChanged, this, &CGeneratorDialog::UpdateGenerateButton);
    }
    connect(m_about, &QAction::triggered, this, &CGeneratorDialog::OnAbout);
    connect(&m_runTimer, &QTimer::timeout, this, &CGeneratorDialog::OnRunStep);

    // The set-up, in the original order. The platform has no window menu to extend: About
    // sits in the dialog's context menu.
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addActions({separator, m_about});
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setWindowIcon(QIcon(QStringLiteral(":/brisolt/brisolt.svg")));
    seed_from_time(std::time(nullptr));
    for (QSpinBox* spin : {ui->m_maxX, ui->m_maxY, ui->m_maxZ}) {
        spin->setRange(0, 1000);
        spin->setValue(0);
    }
    ui->m_lambda->setText(QStringLiteral("0.0"));
    ui->m_maxRadius->setRange(0, 1000);
    ui->m_maxRadius->setValue(0);
    for (const char* law : kRadiusLaws) {
        ui->m_distribution->addItem(QString::fromLatin1(law));
    }
    ui->m_distribution->setCurrentIndex(0);
    ui->m_parameter1Label->setText(QStringLiteral("Lower Bound:"));
    ui->m_parameter1->setText(QStringLiteral("0.0"));
    ui->m_parameter2Label->setText(QStringLiteral("Upper Bound:"));
    ui->m_parameter2->setText(QStringLiteral("0.0"));
    ui->m_count->setRange(1, 1000);
    ui->m_count->setValue(1);
    ui->m_generate->setEnabled(false);
    ui->m_progress->setRange(0, 100);
    ui->m_progress->setValue(0);
    m_ready = true;
}

CGeneratorDialog::~CGeneratorDialog() = default;

void CGeneratorDialog::refuseField(QWidget* field, const QString& message, Report report) {
    if (report == Report::withMessage) {
        QMessageBox::warning(this, QString::fromLatin1(kCaption), message);
        field->setFocus();
    }
}

bool CGeneratorDialog::readSpin(QSpinBox* spin, const char* name, uint32_t& member, Report report) {
    if (!spin->hasAcceptableInput()) {
        refuseField(spin,
                    QStringLiteral("Please enter a whole number from %1 to %2 for \"%3\".")
                        .arg(spin->minimum())
                        .arg(spin->maximum())
                        .arg(QString::fromLatin1(name)),
                    report);
        return false;
    }
    member = static_cast<uint32_t>(spin->value());
    return true;
}

bool CGeneratorDialog::readNumber(QLineEdit* edit, const QString& name, double& member,
                                  Report report) {
    double value = 0.0;
    if (!edit->hasAcceptableInput() || !parse_number(edit->text().toStdString(), value)) {
        refuseField(edit, QStringLiteral("Please enter a number for \"%1\".").arg(name), report);
        return false;
    }
    member = value;
    return true;
}

bool CGeneratorDialog::readFields(Report report) {
    ModelParameters& m = m_fields.model;
    m_fields.output_directory = file_name_text(ui->m_outputDirectory->text());
    if (!readNumber(ui->m_lambda, QStringLiteral("Lambda"), m.lambda, report) ||
        !readSpin(ui->m_maxX, "Max. x", m.max_x, report) ||
        !readSpin(ui->m_maxY, "Max. y", m.max_y, report) ||
        !readSpin(ui->m_maxZ, "Max. z", m.max_z, report) ||
        !readSpin(ui->m_maxRadius, "Radius Max", m.max_radius, report)) {
        return false;
    }
    m.distribution = ui->m_distribution->currentText().toStdString();
    if (!readNumber(ui->m_parameter1, field_name(ui->m_parameter1Label->text()), m.parameter1,
                    report) ||
        !readNumber(ui->m_parameter2, field_name(ui->m_parameter2Label->text()), m.parameter2,
                    report)) {
        return false;
    }
    m_fields.prefix = file_name_text(ui->m_prefix->text());
    return readSpin(ui->m_count, "Data sets Count", m_fields.count, report);
}

void CGeneratorDialog::UpdateGenerateButton() {
    if (!m_ready || isRunning()) {
        return;
    }
    // A field that does not read cannot make a run either.
    const bool read = readFields(Report::silently);
    ui->m_generate->setEnabled(read && generate_allowed(m_fields.model, m_fields.output_directory));
}

void CGeneratorDialog::OnDistributionChanged(int index) {
    const LawLabels labels = law_labels(ui->m_distribution->itemText(index).toStdString());
    ui->m_parameter1Label->setText(QString::fromLatin1(labels.parameter1));
    ui->m_parameter2Label->setText(QString::fromLatin1(labels.parameter2));
    // New zeros fire the change notices: Generate stays off until parameters are entered.
    ui->m_parameter1->setText(QStringLiteral("0.0"));
    ui->m_parameter2->setText(QStringLiteral("0.0"));
    ui->m_parameter2Label->setVisible(labels.parameter2_shown);
    ui->m_parameter2->setVisible(labels.parameter2_shown);
}

void CGeneratorDialog::OnBrowse() {
    if (!readFields(Report::withMessage)) {
        return;
    }
    const QString current = ui->m_outputDirectory->text();
    const QString picked = m_pickFolder(current.isEmpty() ? QDir::currentPath() : current);
    if (picked.isEmpty()) {
        return;
    }
    ui->m_outputDirectory->setText(picked);
    UpdateGenerateButton();
}

void CGeneratorDialog::OnGenerate() {
    if (isRunning() || !readFields(Report::withMessage)) {
        return;
    }
    const RunPlan plan = plan_run(m_fields);
    if (!plan.ok) {
        showRunError(plan.error);
        return;
    }
    const QString question =
        QString::fromStdString(confirmation_text(plan.ball_count, m_fields.count));
    if (QMessageBox::question(this, QString::fromLatin1(kCaption), question,
                              QMessageBox::Ok | QMessageBox::Cancel,
                              QMessageBox::Ok) != QMessageBox::Ok) {
        return;
    }
    m_ballCount = plan.ball_count;
    m_run = std::make_unique<GenerationRun>(m_fields, plan.ball_count, m_sources);
    setRunning(true);
    // The run goes on in slices between the dialog's events, on this one thread, so the
    // window repaints and the progress bar moves.
    m_runTimer.start(0);
}

void CGeneratorDialog::OnRunStep() {
    const bool more = m_run->advance(m_runSlice);
    // A run without balls never moves the bar: it keeps the last run's position.
    if (m_ballCount > 0) {
        ui->m_progress->setValue(m_run->progress());
    }
    if (more) {
        return;
    }
    m_runTimer.stop();
    if (m_run->failed()) {
        showRunError(m_run->error());
    }
    m_run.reset();
    setRunning(false);
    emit runFinished();
}

void CGeneratorDialog::showRunError(const std::string& text) {
    QMessageBox::critical(this, QStringLiteral("Error"), QString::fromStdString(text));
}

void CGeneratorDialog::setRunning(bool running) {
    for (QWidget* w :
         {static_cast<QWidget*>(ui->dimensionGroup), static_cast<QWidget*>(ui->radiusGroup),
          static_cast<QWidget*>(ui->outputGroup), static_cast<QWidget*>(ui->m_generate),
          static_cast<QWidget*>(ui->m_exit)}) {
        w->setEnabled(!running);
    }
    m_about->setEnabled(!running);
    if (!running) {
        UpdateGenerateButton();
    }
}

void CGeneratorDialog::OnAbout() {
    QMessageBox about(this);
    about.setWindowTitle(QStringLiteral("About Brisolt"));
    about.setIconPixmap(windowIcon().pixmap(48, 48));
    about.setText(QStringLiteral("Brisolt Version 1.0"));
    about.setStandardButtons(QMessageBox::Ok);
    about.exec();
}

void CGeneratorDialog::accept() {
    if (isRunning() || !readFields(Report::withMessage)) {
        return;
    }
    QDialog::accept();
}

void CGeneratorDialog::reject() {
    if (!isRunning()) {
        QDialog::reject();
    }
}

void CGeneratorDialog::closeEvent(QCloseEvent* event) {
    if (isRunning()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CGeneratorDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || event->modifiers() & ~Qt::KeypadModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // As in the original dialog: Enter presses the focused button, or else accepts.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
        button->click();
    } else {
        accept();
    }
}

}  // namespace brisolt
