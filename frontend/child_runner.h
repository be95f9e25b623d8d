// One estimator child process whose merged output is relayed into the front-end's output pane.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <optional>

class QPlainTextEdit;

namespace quenbar {

// Output is relayed in chunks of at most this many bytes, the user interface serviced between
// them.
inline constexpr qint64 kChunkBytes = 8191;

inline constexpr const char* kCancelledText = "\nCancelled.\n\nProcess terminated successfully.\n";
inline constexpr const char* kNoStatusText = "No status because FormatMessage failed.\n";
// A console pause prompt of the child: it and the rest of its chunk are not shown.
inline constexpr const char* kPressAnyKey = "Press any key to continue . . .";

// A chunk as the pane shows it: backspaces and NUL bytes become blanks, and the chunk ends
// before the first pause prompt that it holds.
QByteArray CleanChunk(QByteArray chunk);

// Appends `text` at the end of the pane, behind whatever the user typed into it, and keeps
// the last line in view. Not undoable.
void AppendOutput(QPlainTextEdit& pane, const QString& text);

// The same, but `text` begins a line of its own: a line feed goes first when the pane's last
// line is unfinished (a child may end without one).
void AppendBlock(QPlainTextEdit& pane, const QString& text);

// The executable `name` beside `own_directory`, else on PATH, else `name` itself (whose
// start then fails with the system's reason).
QString LocateExecutable(const QString& name, const QString& own_directory);

// Runs one child with standard output and standard error merged, no standard input, and the
// front-end's working directory (unless one is given) and environment. Run returns at once;
// `finished` is emitted, never from inside Run, when the child has ended and its output has
// been relayed, when it has been cancelled and terminated, or when it could not be run. The
// exit status is not looked at. A runner serves one child only.
class CChildRunner : public QObject {
    Q_OBJECT

  public:
    CChildRunner(QString program, QStringList arguments, QPlainTextEdit& output,
                 std::optional<QString> directory = std::nullopt);
    // A child still running is killed and waited for.
    ~CChildRunner() override;

    void Run();
    // Terminates the child once the output waiting at this moment has been relayed.
    void Cancel();

    // Between Run and `finished`.
    bool IsActive() const { return m_state == State::running || m_state == State::terminating; }

    // The runner's own report when the child could not be run or read, as it was appended
    // ("Error creating process: " and the reason); empty otherwise.
    const QString& Failure() const { return m_failure; }

  signals:
    void finished();
    // Each piece of the child's output, as the pane received it.
    void relayed(const QString& text);

  private:
    enum class State { idle, running, terminating, done };

    void ScheduleTurn();
    void Turn();
    void OnProcessFinished();
    void OnProcessError(QProcess::ProcessError error);
    void ReportError(const char* message);
    void Finish();

    bool m_cancel = false;
    QPlainTextEdit& m_output;
    QString m_program;
    QStringList m_arguments;
    std::optional<QString> m_directory;
    QProcess m_process;
    // Keeps a multi-byte character that straddles two chunks whole.
    QStringDecoder m_decoder{QStringDecoder::System};
    State m_state = State::idle;
    bool m_childEnded = false;
    qint64 m_cancelBacklog = 0;  // bytes still to be relayed after a cancel
    bool m_turnPending = false;
    bool m_relayedAny = false;
    QString m_failure;
};

}  // namespace quenbar
