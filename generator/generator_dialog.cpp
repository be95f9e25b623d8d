#include "generator_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <algorithm>
#include <ctime>
#include <limits>

#include "data_set_writer.h"
#include "random/random.h"
#include "typed_spin_box.h"
#include "ui_generator_dialog.h"

namespace brisolt {
namespace {

const char* const kCaption = "Brisolt";

// The background of a field whose text does not read.
const QColor kRefusedFieldColor(255, 222, 222);

QString picked_with_platform_dialog(const QString& start) {
    return QFileDialog::getExistingDirectory(nullptr, QStringLiteral("Select Your Directory"),
                                             start, QFileDialog::ShowDirsOnly);
}

// A label's text without its colon, as a field's name in a message.
std::string field_name(const QLabel* label) {
    const QString text = label->text();
    return (text.endsWith(':') ? text.chopped(1) : text).toStdString();
}

std::string file_name_text(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

std::string field_text(const QLineEdit* edit) {
    return edit->text().toStdString();
}

std::string field_text(const CTypedSpinBox* spin) {
    return spin->text().toStdString();
}

// The property that holds a field's own tooltip, shown below a problem.
constexpr const char* kHelpProperty = "fieldHelp";

void mark_field(QWidget* field, const QString& problem) {
    const QString help = field->property(kHelpProperty).toString();
    field->setToolTip(problem.isEmpty() ? help
                      : help.isEmpty()  ? problem
                                        : problem + QStringLiteral("\n\n") + help);
    QPalette palette;  // resolves nothing: the field takes its usual colours again
    if (!problem.isEmpty()) {
        palette.setColor(QPalette::Base, kRefusedFieldColor);
    }
    field->setPalette(palette);
}

}  // namespace

CGeneratorDialog::CGeneratorDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CGeneratorDialog>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_pickFolder = picked_with_platform_dialog;
    m_about = new QAction(QStringLiteral("&About Brisolt..."), this);
    // The hidden second parameter keeps its place, and the parameter labels are as wide as
    // their widest text, so that changing the law moves nothing.
    for (QWidget* w :
         {static_cast<QWidget*>(ui->m_parameter2Label), static_cast<QWidget*>(ui->m_parameter2)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    int label_width = 0;
    for (const char* law : formats::kRadiusLaws) {
        const LawLabels labels = law_labels(law);
        for (const char* text : {labels.parameter1, labels.parameter2}) {
            ui->m_parameter1Label->setText(QString::fromLatin1(text));
            label_width = std::max(label_width, ui->m_parameter1Label->sizeHint().width());
        }
    }
    ui->m_parameter1Label->setMinimumWidth(label_width);
    ui->m_parameter2Label->setMinimumWidth(label_width);
    setHelp();

    // Connected before the set-up, whose own changes m_ready keeps from checking anything.
    connect(ui->m_generate, &QPushButton::clicked, this, [this] {
        if (isRunning()) {
            OnCancel();
        } else {
            OnGenerate();
        }
    });
    connect(ui->m_browse, &QPushButton::clicked, this, &CGeneratorDialog::OnBrowse);
    connect(ui->m_exit, &QPushButton::clicked, this, &CGeneratorDialog::reject);
    connect(ui->m_distribution, &QComboBox::activated, this,
            &CGeneratorDialog::OnDistributionChanged);
    for (CTypedSpinBox* spin : {ui->m_maxX, ui->m_maxY, ui->m_maxZ, ui->m_maxRadius}) {
        connect(spin, &CTypedSpinBox::textChanged, this, &CGeneratorDialog::UpdateGenerateButton);
    }
    for (QLineEdit* edit : {ui->m_lambda, ui->m_parameter1, ui->m_parameter2}) {
        connect(edit, &QLineEdit::textChanged, this, &CGeneratorDialog::UpdateGenerateButton);
    }
    connect(ui->m_outputDirectory, &QLineEdit::textChanged, this, [this] {
        if (m_ready) {
            readFields(Report::silently);
            UpdateGenerateButton();
        }
    });
    // The prefix and the count leave Generate alone, but a text that will not read is shown.
    connect(ui->m_prefix, &QLineEdit::textChanged, this, &CGeneratorDialog::showFieldProblems);
    connect(ui->m_count, &CTypedSpinBox::textChanged, this, &CGeneratorDialog::showFieldProblems);
    connect(ui->m_newCount, &QCheckBox::toggled, this,
            [this](bool on) { m_fields.new_count_each = on; });
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
    for (CTypedSpinBox* spin : {ui->m_maxX, ui->m_maxY, ui->m_maxZ}) {
        spin->setRange(0, 1000);
        spin->setValue(0);
    }
    ui->m_lambda->setText(QStringLiteral("0.0"));
    ui->m_maxRadius->setRange(0, 1000);
    ui->m_maxRadius->setValue(0);
    for (const char* law : formats::kRadiusLaws) {
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

    // Wider is useful (paths, long numbers); taller only opens gaps.
    setMaximumHeight(minimumSizeHint().height());
}

CGeneratorDialog::~CGeneratorDialog() = default;

std::vector<CGeneratorDialog::FieldReader> CGeneratorDialog::fieldReaders() {
    constexpr uint32_t kMaxSize = 1000;
    auto size = [this](CTypedSpinBox* spin, const char* name,
                       uint32_t formats::ModelParameters::*member) {
        return FieldReader{spin, [=](GenerationRequest& r) {
                               return read_whole_field(name, field_text(spin), 0, kMaxSize,
                                                       r.model.*member, 1);
                           }};
    };
    auto number = [this](QLineEdit* edit, std::function<std::string()> name,
                         double formats::ModelParameters::*member) {
        return FieldReader{edit, [=](GenerationRequest& r) {
                               return read_number_field(name(), field_text(edit), r.model.*member);
                           }};
    };
    QLabel* p1 = ui->m_parameter1Label;
    QLabel* p2 = ui->m_parameter2Label;
    // The order of the original data exchange.
    return {
        {ui->m_outputDirectory,
         [this](GenerationRequest& r) {
             r.output_directory = file_name_text(ui->m_outputDirectory->text());
             return FieldRead{true, {}};
         }},
        {ui->m_lambda,
         [this](GenerationRequest& r) {
             return read_lambda_field(field_text(ui->m_lambda), r.model.lambda);
         }},
        size(ui->m_maxX, "Max. x", &formats::ModelParameters::max_x),
        size(ui->m_maxY, "Max. y", &formats::ModelParameters::max_y),
        size(ui->m_maxZ, "Max. z", &formats::ModelParameters::max_z),
        size(ui->m_maxRadius, "Radius Max", &formats::ModelParameters::max_radius),
        {ui->m_distribution,
         [this](GenerationRequest& r) {
             r.model.distribution = ui->m_distribution->currentText().toStdString();
             return FieldRead{true, {}};
         }},
        number(
            ui->m_parameter1, [p1] { return field_name(p1); },
            &formats::ModelParameters::parameter1),
        number(
            ui->m_parameter2, [p2] { return field_name(p2); },
            &formats::ModelParameters::parameter2),
        {ui->m_prefix,
         [this](GenerationRequest& r) {
             const std::string prefix = file_name_text(ui->m_prefix->text());
             const std::string problem = prefix_problem(prefix);
             if (!problem.empty()) {
                 return FieldRead{false, "Prefix: " + problem};
             }
             r.prefix = prefix;
             return FieldRead{true, {}};
         }},
        {ui->m_count,
         [this](GenerationRequest& r) {
             return read_whole_field("Data sets Count", field_text(ui->m_count), 0,
                                     std::numeric_limits<uint32_t>::max(), r.count);
         }},
    };
}

bool CGeneratorDialog::readFields(Report report) {
    for (const FieldReader& reader : fieldReaders()) {
        const FieldRead read = reader.read(m_fields);
        if (read.ok()) {
            continue;
        }
        if (report == Report::withMessage) {
            QMessageBox::warning(this, QString::fromLatin1(kCaption),
                                 QString::fromStdString(read.problem));
            reader.field->setFocus(Qt::OtherFocusReason);
            if (auto* edit = qobject_cast<QLineEdit*>(reader.field)) {
                edit->selectAll();
            } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(reader.field)) {
                spin->selectAll();
            }
        }
        return false;
    }
    return true;
}

// Marks every field whose text does not read, each on its own, and names the first in the
// status line and in Generate's tooltip.
void CGeneratorDialog::showFieldProblems() {
    GenerationRequest scratch = m_fields;
    QString first;
    for (const FieldReader& reader : fieldReaders()) {
        const QString problem = QString::fromStdString(reader.read(scratch).problem);
        mark_field(reader.field, problem);
        if (first.isEmpty()) {
            first = problem;
        }
    }
    ui->m_generate->setToolTip(first);
    setStatus(first.isEmpty() ? m_runSummary : first);
}

void CGeneratorDialog::setStatus(const QString& text) {
    m_statusText = text;
    showStatus();
}

// One line, cut short with an ellipsis where the window is too narrow; the tooltip has it all.
void CGeneratorDialog::showStatus() {
    const QFontMetrics metrics = ui->m_status->fontMetrics();
    ui->m_status->setText(metrics.elidedText(m_statusText, Qt::ElideRight, ui->m_status->width()));
    ui->m_status->setToolTip(m_statusText);
}

void CGeneratorDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    showStatus();
}

void CGeneratorDialog::UpdateGenerateButton() {
    if (!m_ready || isRunning()) {
        return;
    }
    // Reads without a message: typing never opens a box. A field that does not read cannot
    // make a run either.
    const bool read = readFields(Report::silently);
    ui->m_generate->setEnabled(read && generate_allowed(m_fields.model, m_fields.output_directory));
    showFieldProblems();
    // The fields after one that does not read keep older values: no fill then.
    ui->m_fill->setText(read ? QString::fromStdString(expected_fill(m_fields.model)) : QString());
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
    // Before the question, and before the count is drawn.
    if (const std::string problem = output_folder_problem(m_fields.output_directory);
        !problem.empty()) {
        QMessageBox::warning(this, QString::fromLatin1(kCaption), QString::fromStdString(problem));
        ui->m_outputDirectory->setFocus(Qt::OtherFocusReason);
        ui->m_outputDirectory->selectAll();
        return;
    }
    const RunPlan plan = plan_run(m_fields);
    if (!plan.ok) {
        showRunError(plan.error);
        return;
    }
    const QString question = QString::fromStdString(
        confirmation_text(plan.ball_count, m_fields.count, m_fields.new_count_each, plan.mu));
    if (QMessageBox::question(this, QString::fromLatin1(kCaption), question,
                              QMessageBox::Ok | QMessageBox::Cancel,
                              QMessageBox::Ok) != QMessageBox::Ok) {
        return;
    }
    m_run = std::make_unique<GenerationRun>(m_fields, plan, m_sources);
    m_runSummary.clear();
    setRunning(true);
    // The run goes on in slices between the dialog's events, on this one thread, so the
    // window repaints, the progress bar moves and Cancel is heard.
    m_runTimer.start(0);
}

void CGeneratorDialog::OnCancel() {
    if (isRunning()) {
        m_run->cancel();
        finishRun();
    }
}

void CGeneratorDialog::OnRunStep() {
    const bool more = m_run->advance(m_runSlice);
    ui->m_progress->setValue(m_run->progress());
    if (!more && isRunning()) {
        finishRun();
    }
}

void CGeneratorDialog::finishRun() {
    m_runTimer.stop();
    const QString written = QString::fromStdString(
        written_summary(m_run->data_sets_written(), m_run->data_set_count()));
    if (m_run->cancelled()) {
        m_runSummary = QStringLiteral("Cancelled: %1.").arg(written);
    } else if (m_run->failed()) {
        m_runSummary = QStringLiteral("Stopped by an error: %1.").arg(written);
        showRunError(m_run->error());
    } else {
        m_runSummary = written + '.';
    }
    m_run.reset();
    setRunning(false);
    emit runFinished();
}

void CGeneratorDialog::showRunError(const std::string& text) {
    QMessageBox::critical(this, QStringLiteral("Error"), QString::fromStdString(text));
}

// While a run goes on, Generate is its Cancel; the fields wait for the run to end.
void CGeneratorDialog::setRunning(bool running) {
    for (QWidget* w :
         {static_cast<QWidget*>(ui->dimensionGroup), static_cast<QWidget*>(ui->radiusGroup),
          static_cast<QWidget*>(ui->outputGroup)}) {
        w->setEnabled(!running);
    }
    ui->m_generate->setText(running ? QStringLiteral("Cancel") : QStringLiteral("Generate"));
    ui->m_generate->setToolTip({});
    ui->m_generate->setEnabled(true);
    m_about->setEnabled(!running);
    if (running) {
        setStatus({});
    } else {
        UpdateGenerateButton();
    }
}

void CGeneratorDialog::setHelp() {
    const auto help = [](QWidget* field, const QString& text) {
        field->setProperty(kHelpProperty, text);
        field->setToolTip(text);
    };
    const QString whole_radii = QStringLiteral(
        "Radii are whole voxels: each draw is cut to the whole number below it, so Uniform 2..6 "
        "gives the radii 2, 3, 4 and 5. Draws outside 0 .. Max are drawn again.");
    help(ui->m_lambda, QStringLiteral("The expected number of ball centres per voxel of the box "
                                      "enlarged by Max on every side; above 0. Fill beside it "
                                      "shows the volume fraction that it gives."));
    help(ui->m_maxRadius,
         QStringLiteral("The largest radius R in voxels, 1 to 1000. ") + whole_radii);
    help(ui->m_distribution,
         QStringLiteral("The law of the radius: Uniform (Lower Bound, Upper Bound), LogNormal "
                        "(exp(G·Sigma + Mu), G standard normal) or Exponential (Mu times an "
                        "exponential variate of mean 1). ") +
             whole_radii);
    help(ui->m_parameter1, whole_radii);
    help(ui->m_parameter2, whole_radii);
    ui->m_fill->setToolTip(QStringLiteral(
        "The model's expected volume fraction, 1 - exp(-Lambda · mean ball volume), by Miles' "
        "formulae for the radius law as drawn (whole radii from 0 to Max)"));
    ui->labelFill->setToolTip(ui->m_fill->toolTip());
    help(ui->m_newCount,
         QStringLiteral("Off: every data set of a run has the same number of balls, drawn once "
                        "(Poisson). On: each data set draws its own number, so that the data "
                        "sets are independent realisations of the model, as statistics over "
                        "replicates need."));
}

void CGeneratorDialog::OnAbout() {
    QMessageBox about(this);
    about.setWindowTitle(QStringLiteral("About Brisolt"));
    about.setIconPixmap(windowIcon().pixmap(48, 48));
    about.setText(QStringLiteral("Brisolt Version 1.0"));
    about.setStandardButtons(QMessageBox::Ok);
    about.exec();
}

void CGeneratorDialog::reject() {
    if (isRunning()) {
        // The run waits while the user decides.
        m_runTimer.stop();
        const auto answer = QMessageBox::question(
            this, QString::fromLatin1(kCaption),
            QStringLiteral("A run is in progress.\nCancel it and close Brisolt? The data sets "
                           "already written are kept."),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            m_runTimer.start(0);
            return;
        }
        OnCancel();
    }
    QDialog::reject();
}

void CGeneratorDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || event->modifiers() & ~Qt::KeypadModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // No button is the default: Enter presses the focused button and is otherwise ignored,
    // so that a value confirmed with Enter never closes the dialog.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
        button->click();
    }
}

}  // namespace brisolt
