// What the front-end's windows ask of the desktop: message boxes, questions and file pickers.
// They are passed in, so that tests can stand in for them.
#pragma once

#include <QString>
#include <functional>

#include "edit_list_box.h"

class QWidget;

namespace quenbar {

// Shows an error `text` captioned `caption` and returns when the user has read it.
using MessageShower =
    std::function<void(QWidget* parent, const QString& caption, const QString& text)>;
// Asks the user for a file; an empty text when the user cancels.
using FilePicker = std::function<QString(QWidget* parent)>;
// Asks the user for a file to write, with the picker's title and name filter ("CSV files
// (*.csv)"); an empty text when the user cancels.
using SaveFilePicker =
    std::function<QString(QWidget* parent, const QString& title, const QString& filter)>;

// What to do with a results file that already holds rows.
enum class ResultsChoice { empty, append, cancel };
using ResultsQuestion =
    std::function<ResultsChoice(QWidget* parent, const QString& path, int rows)>;

// What to do before closing while a run goes on or rows are unsaved.
enum class CloseChoice { save, discard, cancel };
using CloseQuestionAsker = std::function<CloseChoice(QWidget* parent, const QString& text)>;

struct DialogServices {
    MessageShower show_error;
    FilePicker pick_balls_file;
    // Asks nothing about an existing file: the dialog's own question covers it.
    FilePicker pick_output_file;
    FolderPicker pick_folder;
    ResultsQuestion ask_results_file;
    SaveFilePicker pick_save_file;  // for the table's CSV and the plot's images
    CloseQuestionAsker ask_close;   // Save as CSV... / Discard / Cancel
    QString estimator;              // the talvik executable
};

// The system's message box and question, open file and save file dialogs, and talvik beside
// the program or on PATH.
DialogServices SystemServices();

}  // namespace quenbar
