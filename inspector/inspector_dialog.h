// Ferndel's dialog: a path field, Browse, Info and Exit, the results of the last successful
// inspection and the slice's picture, with Previous and Next through the slices of its folder.
// The message box and the file picker are passed in, so that tests can stand in for them.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>

namespace Ui {
class CInspectorDialog;
}

namespace ferndel {

// Shows `text` to the user, captioned `caption`, and returns when it has been read.
using MessageShower =
    std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

// Asks the user for a slice file; an empty text when the user cancels.
using FilePicker = std::function<QString(QWidget* parent)>;

// A modal box with the text as plain text, a single OK button and no icon.
void show_message_box(QWidget* parent, const QString& caption, const QString& text);

// The open-file dialog for slices: one filter, "PBM Files (*.pbm)"; the chosen file's full path.
QString pick_slice_file(QWidget* parent);

class CInspectorDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CInspectorDialog(MessageShower show_message = show_message_box,
                              FilePicker pick_file = pick_slice_file, QWidget* parent = nullptr);
    ~CInspectorDialog() override;

    // Inspects `path` as if it had been picked with Browse: its full path goes into the field
    // and Info is enabled. For a file named on the command line.
    void open_slice(const QString& path);

  private slots:
    void on_browse();
    void on_info();
    void on_previous();
    void on_next();
    void on_about();

  private:
    // Shows the slice at `path` (the file's own encoding) or the message why it cannot.
    bool inspect(const std::string& path);
    void step_to(const std::string& path);
    void update_steps();

    std::unique_ptr<Ui::CInspectorDialog> m_ui;
    MessageShower m_show_message;
    FilePicker m_pick_file;
    // The slice that Previous and Next start from: the last one shown, or the last one stepped
    // to even when it could not be read, so that a broken slice can be stepped over.
    std::string m_current;
    // The slice whose numbers and picture are shown; empty until one was read.
    std::string m_shown;
};

}  // namespace ferndel
