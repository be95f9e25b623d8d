// Ferndel's dialog: a path field, Browse, Info and Exit, and the two results of the last
// successful inspection. The message box and the file picker are passed in, so that tests can
// stand in for them.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

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

  private slots:
    void on_browse();
    void on_info();
    void on_about();

  private:
    std::unique_ptr<Ui::CInspectorDialog> m_ui;
    MessageShower m_show_message;
    FilePicker m_pick_file;
};

}  // namespace ferndel
