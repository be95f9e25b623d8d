#include "child_runner.h"

#include <algorithm>

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace quenbar {

QByteArray CleanChunk(QByteArray chunk) {
    chunk.replace('\b', ' ');
    // A NUL would end the text early in a C string; shown as a blank it loses nothing else.
    chunk.replace('\0', ' ');
    const qsizetype prompt = chunk.indexOf(kPressAnyKey);
    if (prompt >= 0) {
        chunk.truncate(prompt);
    }
    return chunk;
}

void AppendOutput(QPlainTextEdit& pane, const QString& text) {
    QTextDocument& document = *pane.document();
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    pane.setTextCursor(cursor);
    pane.ensureCursorVisible();
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    cursor.insertText(text);
    document.setUndoRedoEnabled(undo);
    pane.setTextCursor(cursor);
    pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum());
}

void AppendBlock(QPlainTextEdit& pane, const QString& text) {
    // Lines are blocks; an unfinished last line is a last block that is not empty.
    const bool unfinished = pane.document()->lastBlock().length() > 1;
    AppendOutput(pane, unfinished ? u'\n' + text : text);
}

QString LocateExecutable(const QString& name, const QString& own_directory) {
    QString path = QStandardPaths::findExecutable(name, {own_directory});
    if (path.isEmpty()) {
        path = QStandardPaths::findExecutable(name);
    }
    return path.isEmpty() ? name : path;
}

CChildRunner::CChildRunner(QString program, QStringList arguments, QPlainTextEdit& output,
                           std::optional<QString> directory)
    : m_output(output),
      m_program(std::move(program)),
      m_arguments(std::move(arguments)),
      m_directory(std::move(directory)) {
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &CChildRunner::ScheduleTurn);
    connect(&m_process, &QProcess::finished, this, &CChildRunner::OnProcessFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &CChildRunner::OnProcessError);
}

CChildRunner::~CChildRunner() {
    // Never leave a child behind; QProcess would do the same, with a warning.
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

void CChildRunner::Run() {
    if (m_state != State::idle) {
        return;
    }
    m_state = State::running;
    m_process.setProgram(m_program);
    m_process.setArguments(m_arguments);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    if (m_directory) {
        m_process.setWorkingDirectory(*m_directory);
    }
    m_process.start(QIODevice::ReadOnly);
}

void CChildRunner::Cancel() {
    if (!m_cancel) {
        m_cancel = true;
        m_cancelBacklog = m_process.bytesAvailable();
    }
    ScheduleTurn();
}

// Turns are queued, never nested, so that the user interface is serviced between chunks.
void CChildRunner::ScheduleTurn() {
    if (m_state != State::running || m_turnPending) {
        return;
    }
    m_turnPending = true;
    QMetaObject::invokeMethod(this, &CChildRunner::Turn, Qt::QueuedConnection);
}

// One look at the output: relay a waiting chunk, or in a quiet moment act on the child's end
// or on a cancel request. Output that waits is always relayed before the end is taken. After a
// cancel only what was waiting at that moment is still relayed: a child that writes without
// pause would otherwise never be stopped.
void CChildRunner::Turn() {
    m_turnPending = false;
    if (m_state != State::running) {
        return;
    }
    const qint64 waiting = m_process.bytesAvailable();
    const qint64 allowed = m_cancel ? std::min(waiting, m_cancelBacklog) : waiting;
    if (allowed > 0) {
        const QByteArray chunk = m_process.read(std::min(allowed, kChunkBytes));
        if (m_cancel) {
            m_cancelBacklog -= chunk.size();
        }
        const QString text = m_decoder(CleanChunk(chunk));
        if (m_relayedAny) {
            AppendOutput(m_output, text);
        } else {
            AppendBlock(m_output, text);
            m_relayedAny = true;
        }
        emit relayed(text);
        ScheduleTurn();
        return;
    }
    if (m_childEnded) {
        Finish();
        return;
    }
    if (m_cancel) {
        // Whatever the child writes from now on is not shown; `finished` follows once the
        // child has really ended, so that no second child can overlap it.
        m_state = State::terminating;
        m_process.kill();
        AppendOutput(m_output, kCancelledText);
    }
}

void CChildRunner::OnProcessFinished() {
    if (m_state == State::terminating) {
        Finish();
        return;
    }
    // The rest of the output is still to be relayed; the next quiet turn ends the run.
    m_childEnded = true;
    ScheduleTurn();
}

void CChildRunner::OnProcessError(QProcess::ProcessError error) {
    if (m_state != State::running) {
        return;
    }
    if (error == QProcess::FailedToStart) {
        ReportError("Error creating process");
        Finish();
    } else if (error == QProcess::ReadError) {
        ReportError("ReadFile fialed");
        m_process.kill();
        Finish();
    }
    // A crash is only the child's end (or our own kill): the exit status is not looked at.
}

void CChildRunner::ReportError(const char* message) {
    const QString reason = m_process.errorString();
    AppendBlock(m_output,
                QString::fromUtf8(message) + u'\n' +
                    (reason.isEmpty() ? QString::fromUtf8(kNoStatusText) : reason + u'\n'));
    if (m_failure.isEmpty()) {
        m_failure = QString::fromUtf8(message) + (reason.isEmpty() ? QString() : ": " + reason);
    }
}

void CChildRunner::Finish() {
    m_state = State::done;
    QMetaObject::invokeMethod(this, &CChildRunner::finished, Qt::QueuedConnection);
}

}  // namespace quenbar
